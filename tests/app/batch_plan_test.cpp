// Planning a list of pictures and summing up its conversion, without a window.
#include "app_test_support.h"

#include "app/batch_plan.h"

#include <filesystem>

namespace {

QStringList inputs(const std::vector<Conversion>& conversions) {
    QStringList names;
    for (const Conversion& conversion : conversions)
        names.append(QString::fromStdString(std::filesystem::path(conversion.input).filename().string()));
    return names;
}

}  // namespace

TEST(BatchPlan, SharedNamesFailAndExistingDatabasesWaitForTheAnswer) {
    testsupport::TemporaryFolder folder;
    testsupport::WriteFileBytes(folder / "b.pdb", {'o', 'l', 'd'});
    const QString out = QString::fromStdString(folder.path().string());
    const QStringList pictures{"/p/b.png", "/p/a.jpg", "/p/a.bmp", "/p/c.gif"};

    BatchPlan plan = planBatch(pictures, out, false);
    EXPECT_EQ(inputs(plan.conversions), (QStringList{"a.jpg", "c.gif"}));
    EXPECT_EQ(inputs(plan.existing), QStringList{"b.png"});
    EXPECT_EQ(plan.existingDatabaseNames(), QStringList{"b.pdb"});
    EXPECT_EQ(plan.existingPictureNames(), QStringList{"b.png"});
    EXPECT_EQ(plan.failures,
              QStringList{"a.bmp: Another picture of the list is converted into a.pdb already. "
                          "Please rename one of them."});
    plan.overwriteExisting(pictures);
    EXPECT_EQ(inputs(plan.conversions), (QStringList{"b.png", "a.jpg", "c.gif"}));
    EXPECT_TRUE(plan.existing.empty());

    // The temporary folder's old databases go without a question.
    EXPECT_EQ(inputs(planBatch(pictures, out, true).conversions), (QStringList{"b.png", "a.jpg", "c.gif"}));
}

TEST(BatchReport, TheSummaryNamesWhatHappenedToEachPicture) {
    using Outcome = CBatchConversion::Outcome;
    const Conversion a{"/p/a.jpg", "/out/a.pdb", "a"};
    const Conversion b{"/p/b.png", "/out/b.pdb", "b"};
    const struct {
        std::vector<std::pair<Outcome, std::string>> outcomes;
        QStringList skipped;
        QString summary;
    } cases[] = {
        {{{Outcome::Converted, ""}, {Outcome::Converted, ""}}, {}, "Converted: 2 of 3 pictures."},
        {{{Outcome::Converted, ""}, {Outcome::NotStarted, ""}},
         {"c.gif", "d.tga"},
         "Converted: 1 of 3 pictures.\nSkipped, their databases already exist: c.gif, d.tga.\n"
         "Not converted, as the conversion was cancelled: 1."},
        {{{Outcome::Failed, "Unknown file type."}, {Outcome::Failed, ""}},
         {},
         "Converted: 0 of 3 pictures.\nFailed: 2.\n\na.jpg: Unknown file type.\nb.png: There were errors "
         "during "
         "conversion. The output database file could not be written."},
    };
    for (const auto& example : cases) {
        BatchReport report;
        report.pictures = 3;
        report.skipped = example.skipped;
        report.addOutcome(a, example.outcomes[0].first, example.outcomes[0].second);
        report.addOutcome(b, example.outcomes[1].first, example.outcomes[1].second);
        EXPECT_EQ(report.summary(), example.summary);
        EXPECT_EQ(report.hasFailures(), example.summary.contains("Failed"));
    }
    BatchReport converted;
    converted.addOutcome(a, Outcome::Converted, "");
    EXPECT_EQ(converted.converted, QStringList{"/out/a.pdb"});
}
