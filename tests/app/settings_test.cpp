#include "app_test_support.h"

#include "app/file_names.h"

#include <QDir>
#include <QFile>
#include <QSettings>

using apptest::clearConfiguration;
using apptest::configFolder;
using apptest::settingsFile;

namespace {

// Remembers the order of every read and write.
class RecordingStore : public CSettingsStore {
public:
    std::optional<quint32> readNumber(const QString& group, const QString& name) override {
        log.append(QStringLiteral("read ") + path(group, name));
        return std::nullopt;
    }
    std::optional<QString> readText(const QString& group, const QString& name) override {
        log.append(QStringLiteral("read ") + path(group, name));
        return std::nullopt;
    }
    void writeNumber(const QString& group, const QString& name, quint32) override {
        log.append(QStringLiteral("write ") + path(group, name));
    }
    void writeText(const QString& group, const QString& name, const QString&) override {
        log.append(QStringLiteral("write ") + path(group, name));
    }
    void flush() override { log.append(QStringLiteral("flush")); }
    void deleteAll() override { log.append(QStringLiteral("delete")); }

    QStringList log;

private:
    static QString path(const QString& group, const QString& name) {
        return group.isEmpty() ? name : group + QLatin1Char('/') + name;
    }
};

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { clearConfiguration(); }
    CNativeSettingsStore store{QStringLiteral("Quessel"), QStringLiteral("kestrin")};
};

}  // namespace

TEST(RecentList, KeepsTheLastSixteenOfSeventeenNewestFirst) {
    RecentList list;
    for (int i = 1; i <= 17; ++i) EXPECT_TRUE(list.add(QStringLiteral("/p/%1.bmp").arg(i)));
    const QStringList paths = list.newestFirst();
    ASSERT_EQ(paths.size(), 16);
    EXPECT_EQ(paths.first(), QStringLiteral("/p/17.bmp"));
    EXPECT_EQ(paths.last(), QStringLiteral("/p/2.bmp"));
    EXPECT_FALSE(paths.contains(QStringLiteral("/p/1.bmp")));
    // The first addition went to slot 1, so the seventeenth wrapped onto it.
    EXPECT_EQ(list.index(), 1u);
    EXPECT_EQ(list.slot(1), QStringLiteral("/p/17.bmp"));
}

TEST(RecentList, ADuplicateIsNeitherAddedNorMovedButCaseMatters) {
    RecentList list;
    EXPECT_TRUE(list.add(QStringLiteral("C:\\a.bmp")));
    EXPECT_TRUE(list.add(QStringLiteral("C:\\b.bmp")));
    EXPECT_FALSE(list.add(QStringLiteral("C:\\a.bmp")));
    EXPECT_EQ(list.newestFirst(), (QStringList{QStringLiteral("C:\\b.bmp"), QStringLiteral("C:\\a.bmp")}));
    EXPECT_TRUE(list.add(QStringLiteral("c:\\A.BMP")));
    EXPECT_EQ(list.newestFirst().size(), 3);
}

TEST(RecentList, AnEmptyPathIsAddedOnlyWhenEverySlotIsTaken) {
    RecentList list;
    EXPECT_FALSE(list.add(QString()));
    for (int i = 0; i < 16; ++i) list.add(QStringLiteral("/p/%1").arg(i));
    EXPECT_TRUE(list.add(QString()));
    // The empty entry took the oldest slot and is never listed.
    EXPECT_EQ(list.newestFirst().size(), 15);
    EXPECT_FALSE(list.newestFirst().contains(QString()));
    EXPECT_FALSE(list.add(QString()));
}

TEST(RecentList, AStoredIndexAboveFifteenIsReadModuloSixteenAndWrapsOnTheNextAddition) {
    RecentList list;
    for (int slot = 0; slot < 16; ++slot) list.setSlot(slot, QStringLiteral("slot %1").arg(slot));
    list.setIndex(20);
    const QStringList paths = list.newestFirst();
    EXPECT_EQ(paths.first(), QStringLiteral("slot 4"));
    EXPECT_EQ(paths.at(1), QStringLiteral("slot 3"));
    EXPECT_EQ(paths.last(), QStringLiteral("slot 5"));
    EXPECT_TRUE(list.add(QStringLiteral("new")));
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.slot(0), QStringLiteral("new"));
}

TEST(RecentList, AHugeOrNegativeStoredIndexStaysInsideTheSlots) {
    RecentList list;
    list.setIndex(0xFFFFFFFDu);  // -3 as a stored word
    EXPECT_TRUE(list.newestFirst().isEmpty());
    EXPECT_TRUE(list.add(QStringLiteral("x")));
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.slot(0), QStringLiteral("x"));
}

TEST_F(SettingsFile, FirstStartGivesEveryDefault) {
    CSettings settings(store);
    settings.load();
    EXPECT_EQ(settings.imageName, QStringLiteral("My vexmoor image"));
    EXPECT_TRUE(settings.lastSourcePath.isEmpty());
    EXPECT_TRUE(settings.lastOutputPath.isEmpty());
    EXPECT_EQ(settings.writeToFile, 1);
    EXPECT_EQ(settings.directInstall, 0);
    EXPECT_EQ(settings.conversion.reduction, ColorReduction::kDithering);
    EXPECT_EQ(settings.conversion.compression, 99);
    EXPECT_EQ(settings.conversion.storedDepth(), 2);
    EXPECT_EQ(settings.conversion.destination, 2);
    EXPECT_TRUE(settings.conversion.autoOrient);
    EXPECT_EQ(settings.conversion.fit, PictureFit::Stretch);
    EXPECT_TRUE(settings.recentSources.newestFirst().isEmpty());
    EXPECT_TRUE(settings.recentOutputs.newestFirst().isEmpty());
    EXPECT_EQ(settings.recentSources.index(), 0u);
    // Reading creates nothing.
    EXPECT_FALSE(QFile::exists(settingsFile()));
}

TEST_F(SettingsFile, TheFirstExitStoresTwelveValuesAndSeventeenPerList) {
    CSettings settings(store);
    settings.load();
    settings.save();
    ASSERT_TRUE(QFile::exists(settingsFile())) << store.location().toStdString();
    EXPECT_EQ(QFileInfo(store.location()).absoluteFilePath(), QFileInfo(settingsFile()).absoluteFilePath());

    QSettings stored(settingsFile(), QSettings::IniFormat);
    QStringList topLevel = stored.childKeys();
    topLevel.sort();
    EXPECT_EQ(topLevel, (QStringList{"colordepth", "colormanage", "compression", "dither", "file", "fit",
                                     "gravity", "imagename", "install", "last8", "lastpdb", "orient", "os",
                                     "quality", "rotatetofill"}));
    QStringList groups = stored.childGroups();
    groups.sort();
    EXPECT_EQ(groups, (QStringList{"MRU input", "MRU output"}));
    for (const QString& group : groups) {
        stored.beginGroup(group);
        QStringList expected{QStringLiteral("index")};
        for (int slot = 0; slot < 16; ++slot) expected.append(QString::number(slot));
        expected.sort();
        QStringList keys = stored.childKeys();
        keys.sort();
        EXPECT_EQ(keys, expected) << group.toStdString();
        stored.endGroup();
    }
    EXPECT_EQ(stored.value("imagename").toString(), QStringLiteral("My vexmoor image"));
    EXPECT_EQ(stored.value("compression").toInt(), 99);
    EXPECT_EQ(stored.value("orient").toInt(), 1);
    EXPECT_EQ(stored.value("fit").toInt(), 0);
    EXPECT_EQ(stored.value("quality").toInt(), 0);
    EXPECT_EQ(stored.value("colormanage").toInt(), 1);
    EXPECT_EQ(stored.value("last8").toString(), QString());
}

TEST_F(SettingsFile, EveryValueSurvivesARoundTrip) {
    {
        CSettings settings(store);
        settings.imageName = QStringLiteral("Ölberg, at dusk");
        settings.lastSourcePath = QStringLiteral("/home/me/pictures/a,b;c=d.png");
        settings.lastOutputPath = QStringLiteral("@/out put.pdb");
        settings.installer = QStringLiteral("/home/me/bin/to card.sh");
        settings.writeToFile = 0;
        settings.directInstall = 1;
        settings.conversion.reduction = ColorReduction::kRaw;
        settings.conversion.compression = static_cast<CompressionMode>(1);
        settings.conversion.chooseDepthByListPosition(-1);
        settings.conversion.destination = static_cast<DestinationOs>(3);
        settings.conversion.autoOrient = false;
        settings.conversion.fit = PictureFit::Crop;
        settings.conversion.colorManage = false;
        for (int i = 0; i < 18; ++i) settings.recentSources.add(QStringLiteral("/src/%1.gif").arg(i));
        settings.recentOutputs.add(QStringLiteral("/out/only.pdb"));
        // A name that is not UTF-8 comes back as its very bytes.
        settings.recentOutputs.add(pathFromBytes("/out/caf\xe9.pdb"));
        settings.lastOutputFolder = QStringLiteral("/out/album");
        settings.recentFolders.add(QStringLiteral("/out/album"));
        settings.save();
    }
    CSettings loaded(store);
    loaded.load();
    EXPECT_EQ(loaded.imageName, QStringLiteral("Ölberg, at dusk"));
    EXPECT_EQ(loaded.lastSourcePath, QStringLiteral("/home/me/pictures/a,b;c=d.png"));
    EXPECT_EQ(loaded.lastOutputPath, QStringLiteral("@/out put.pdb"));
    EXPECT_EQ(loaded.installer, QStringLiteral("/home/me/bin/to card.sh"));
    EXPECT_EQ(loaded.lastOutputFolder, QStringLiteral("/out/album"));
    EXPECT_EQ(loaded.recentFolders.newestFirst(), QStringList{QStringLiteral("/out/album")});
    EXPECT_EQ(loaded.writeToFile, 0);
    EXPECT_EQ(loaded.directInstall, 1);
    EXPECT_EQ(loaded.conversion.reduction, ColorReduction::kRaw);
    EXPECT_EQ(loaded.conversion.compression, 1);
    EXPECT_EQ(loaded.conversion.depthListPosition(), -1);
    EXPECT_EQ(loaded.conversion.destination, 3);
    EXPECT_FALSE(loaded.conversion.autoOrient);
    EXPECT_EQ(loaded.conversion.fit, PictureFit::Crop);
    EXPECT_FALSE(loaded.conversion.colorManage);
    EXPECT_EQ(loaded.recentSources.index(), 2u);
    EXPECT_EQ(loaded.recentSources.newestFirst().first(), QStringLiteral("/src/17.gif"));
    EXPECT_EQ(loaded.recentSources.newestFirst().size(), 16);
    EXPECT_EQ(loaded.recentOutputs.newestFirst(),
              (QStringList{pathFromBytes("/out/caf\xe9.pdb"), QStringLiteral("/out/only.pdb")}));
}

TEST_F(SettingsFile, ChoicesThatNameNothingAreSavedBackAsTheyWereRead) {
    const struct {
        const char* name;
        qint32 stored;
        int depth;  // bits a conversion then uses
    } cases[] = {
        {"compression", 5, 8}, {"os", 7, 8},         {"colordepth", -1, 8}, {"colordepth", 4, 8},
        {"dither", 7, 8},      {"colordepth", 1, 4}, {"fit", 7, 8},         {"quality", 7, 8},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::string(test.name) + " " + std::to_string(test.stored));
        clearConfiguration();
        {
            CNativeSettingsStore writer(QStringLiteral("Quessel"), QStringLiteral("kestrin"));
            writer.writeNumber(QString(), QLatin1String(test.name), static_cast<quint32>(test.stored));
            writer.flush();
        }
        {
            CNativeSettingsStore store(QStringLiteral("Quessel"), QStringLiteral("kestrin"));
            CSettings settings(store);
            settings.load();
            EXPECT_EQ(settings.conversion.depth, test.depth);
            settings.save();
        }
        CNativeSettingsStore reader(QStringLiteral("Quessel"), QStringLiteral("kestrin"));
        EXPECT_EQ(reader.readNumber(QString(), QLatin1String(test.name)), static_cast<quint32>(test.stored));
    }
}

TEST_F(SettingsFile, UnreadableValuesFallBackToTheirDefaults) {
    {
        QSettings raw(settingsFile(), QSettings::IniFormat);
        raw.setValue("file", "yes please");
        raw.setValue("compression", "12345678901234");
        raw.setValue("imagename", QStringList{"two", "parts"});
        raw.setValue("os", 1);
        raw.setValue("MRU input/index", "-3");
        raw.setValue("MRU input/0", "/kept.bmp");
    }
    CSettings settings(store);
    settings.load();
    EXPECT_EQ(settings.writeToFile, 1);
    EXPECT_EQ(settings.conversion.compression, 99);
    EXPECT_EQ(settings.imageName, QStringLiteral("My vexmoor image"));
    EXPECT_EQ(settings.conversion.destination, 1);
    EXPECT_EQ(settings.recentSources.index(), 0xFFFFFFFDu);
    EXPECT_EQ(settings.recentSources.slot(0), QStringLiteral("/kept.bmp"));
}

TEST(SettingsOrder, ReadsAndWritesInTheFixedOrder) {
    RecordingStore store;
    CSettings settings(store);
    settings.load();
    QStringList expectedReads{"read MRU input/index", "read MRU output/index"};
    for (int slot = 0; slot < 16; ++slot) {
        expectedReads << QStringLiteral("read MRU input/%1").arg(slot)
                      << QStringLiteral("read MRU output/%1").arg(slot);
    }
    expectedReads << "read last8"
                  << "read lastpdb"
                  << "read imagename"
                  << "read file"
                  << "read install"
                  << "read dither"
                  << "read compression"
                  << "read colordepth"
                  << "read os"
                  << "read orient"
                  << "read fit"
                  << "read quality"
                  << "read colormanage"
                  << "read gravity"
                  << "read rotatetofill"
                  << "read installer"
                  << "read lastfolder"
                  << "flush";
    EXPECT_EQ(store.log, expectedReads);

    store.log.clear();
    settings.save();
    QStringList expectedWrites{"write file",
                               "write install",
                               "write dither",
                               "write compression",
                               "write colordepth",
                               "write os",
                               "write orient",
                               "write fit",
                               "write quality",
                               "write colormanage",
                               "write gravity",
                               "write rotatetofill",
                               "write MRU input/index",
                               "write MRU output/index",
                               "write last8",
                               "write lastpdb",
                               "write imagename"};
    for (int slot = 0; slot < 16; ++slot) {
        expectedWrites << QStringLiteral("write MRU input/%1").arg(slot)
                       << QStringLiteral("write MRU output/%1").arg(slot);
    }
    expectedWrites << "flush";
    EXPECT_EQ(store.log, expectedWrites);
}

TEST(SettingsOrder, NothingIsWrittenOnceTheSettingsWereDeleted) {
    RecordingStore store;
    CSettings settings(store);
    settings.deleteStored();
    EXPECT_TRUE(settings.isDeleted());
    store.log.clear();
    settings.save();
    EXPECT_TRUE(store.log.isEmpty());
}

TEST_F(SettingsFile, DeletingRemovesTheCompanyFolderWhenNothingElseIsInIt) {
    CSettings settings(store);
    settings.save();
    ASSERT_TRUE(QFile::exists(settingsFile()));
    settings.deleteStored();
    EXPECT_FALSE(QFile::exists(settingsFile()));
    EXPECT_FALSE(QDir(configFolder() + QStringLiteral("/Quessel")).exists());
    // The next start finds nothing and uses the defaults.
    CSettings next(store);
    next.load();
    EXPECT_EQ(next.imageName, QStringLiteral("My vexmoor image"));
}

TEST_F(SettingsFile, DeletingKeepsAnotherProgramsSettingsAndTheCompanyFolder) {
    CSettings settings(store);
    settings.imageName = QStringLiteral("changed");
    settings.save();
    {
        QSettings other(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quessel"),
                        QStringLiteral("otherprogram"));
        other.setValue("colour", 3);
    }
    settings.deleteStored();
    EXPECT_FALSE(QFile::exists(settingsFile()));
    EXPECT_TRUE(QFile::exists(configFolder() + QStringLiteral("/Quessel/otherprogram.conf")));
    CSettings next(store);
    next.load();
    EXPECT_EQ(next.imageName, QStringLiteral("My vexmoor image"));
}

TEST_F(SettingsFile, DeletingWithNothingStoredStillMarksTheSettingsDeleted) {
    CSettings settings(store);
    settings.deleteStored();
    EXPECT_TRUE(settings.isDeleted());
    settings.save();
    EXPECT_FALSE(QFile::exists(settingsFile()));
}
