#ifndef _WIN32
// GLib before any Qt header, as everywhere GLib and Qt meet.
#include <glib.h>
#endif

#include "app/about_dialog.h"

#include "app/app_icon.h"
#include "app/ui_text.h"
#include "engine/engine_version.h"
#include "imagelib/decoders/heif_library.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtGlobal>

#include <cairo.h>
#include <gif_lib.h>
#include <lcms2.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <zlib.h>

// libjpeg's headers need FILE, and jerror.h needs jpeglib.h before it.
#include <cstdio>

#include <jpeglib.h>

#include <jerror.h>

namespace {

#define KESTRIN_STRINGIFY_VALUE(value) #value
#define KESTRIN_STRINGIFY(value) KESTRIN_STRINGIFY_VALUE(value)

QString firstLine(const char* text) {
    return QString::fromUtf8(text).trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
}

// The first line of a library's notice that starts with "Copyright".
QString copyrightLine(const char* text) {
    for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("Copyright"))) return line.trimmed();
    }
    return {};
}

// libjpeg has no version call; its message table, filled by the library
// itself, carries the version and copyright of the code actually loaded.
QString jpegCredit() {
    jpeg_error_mgr errors{};
    jpeg_std_error(&errors);
    QString version;
    QString copyright;
    if (errors.jpeg_message_table != nullptr && errors.last_jpeg_message >= JMSG_VERSION) {
        version = QString::fromLatin1(errors.jpeg_message_table[JMSG_VERSION]).simplified();
        copyright = QString::fromLatin1(errors.jpeg_message_table[JMSG_COPYRIGHT]).simplified();
    }
#ifdef LIBJPEG_TURBO_VERSION
    const QString library = QStringLiteral("libjpeg-turbo " KESTRIN_STRINGIFY(LIBJPEG_TURBO_VERSION));
#else
    const QString library = QStringLiteral("libjpeg");
#endif
    const QString interface =
        version.isEmpty() ? uiText("interface version %1").arg(JPEG_LIB_VERSION)
                          : uiText("interface version %1, library %2").arg(JPEG_LIB_VERSION).arg(version);
    QString line = uiText("JPEG support is based on %1 (%2)").arg(library, interface);
    if (!copyright.isEmpty()) line += QLatin1String(", ") + copyright;
    return line + QLatin1String(". ") +
           uiText("This software is based in part on the work of the Independent JPEG Group.");
}

// libwebp packs its version as 0xMMmmrr.
QString webpCredit() {
    const int version = WebPGetDecoderVersion();
    return uiText("WebP support is based on libwebp version %1.%2.%3.")
        .arg((version >> 16) & 0xff)
        .arg((version >> 8) & 0xff)
        .arg(version & 0xff);
}

// libheif is otherwise loaded with the first HEIF file; the about box loads
// it to ask, and says so when it cannot be loaded.
QString heifCredit() {
    const HeifLibrary* heif = LoadHeifLibrary();
    if (heif == nullptr) return uiText("HEIF and AVIF support needs libheif, which is not installed.");
    return uiText("HEIF and AVIF support is based on libheif version %1.")
        .arg(QString::fromLatin1(heif->get_version()));
}

// Little CMS encodes 2.14 as 2140.
QString lcmsCredit() {
    const int version = cmsGetEncodedCMMversion();
    return uiText("Color profiles are applied with Little CMS (lcms2) version %1.%2.")
        .arg(version / 1000)
        .arg((version % 1000) / 10);
}

}  // namespace

QStringList libraryCreditLines() {
    QStringList lines;
    lines << uiText("Kestrin image decoding library version %1.").arg(QString::fromLatin1(kKestrinVersion));
    lines << uiText("GIF support is based on giflib %1.%2.%3.")
                 .arg(GIFLIB_MAJOR)
                 .arg(GIFLIB_MINOR)
                 .arg(GIFLIB_RELEASE);
    lines << jpegCredit();
    QString png = uiText("PNG support is based on libpng version %1")
                      .arg(QString::fromLatin1(png_get_libpng_ver(nullptr)));
    const QString pngCopyright = copyrightLine(png_get_copyright(nullptr));
    if (!pngCopyright.isEmpty()) png += QLatin1String(", ") + pngCopyright;
    lines << png + QLatin1Char('.');
    lines << uiText("TIFF support is based on %1.").arg(firstLine(TIFFGetVersion()));
    lines << uiText("ZLIB compression is based on zlib version %1.").arg(QString::fromLatin1(zlibVersion()));
    lines << webpCredit();
    lines << heifCredit();
    lines << lcmsCredit();
    lines << uiText("Windows metafiles are drawn with cairo version %1.")
                 .arg(QString::fromLatin1(cairo_version_string()));
    lines << uiText("The user interface is built with Qt version %1.").arg(QString::fromLatin1(qVersion()));
#ifndef _WIN32
    lines << uiText("Desktop integration is based on GLib and GIO version %1.%2.%3.")
                 .arg(glib_major_version)
                 .arg(glib_minor_version)
                 .arg(glib_micro_version);
#endif
    return lines;
}

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(uiText("About Kestrin"));

    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("aboutHeader"));
    header->setFrameShape(QFrame::Panel);
    header->setFrameShadow(QFrame::Sunken);
    auto* icon = new QLabel(header);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(kestrinIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* name = new QLabel(QStringLiteral("Kestrin ") + QString::fromLatin1(kKestrinVersion), header);
    name->setObjectName(QStringLiteral("aboutName"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    auto* notice = new QLabel(
        uiText("Copyright \u00A9 Quessel. Distributed in the hope that it will be useful, but without any "
               "warranty."),
        header);
    notice->setObjectName(QStringLiteral("aboutNotice"));
    notice->setWordWrap(true);
    auto* licence = new QLabel(uiText("Kestrin is free software under the MIT License."), header);
    licence->setObjectName(QStringLiteral("aboutLicence"));
    licence->setWordWrap(true);
    auto* purpose =
        new QLabel(uiText("This program converts and installs images for use with \"Vexmoor\"."), header);
    purpose->setObjectName(QStringLiteral("aboutPurpose"));
    purpose->setWordWrap(true);
    auto* headerText = new QVBoxLayout;
    headerText->addWidget(name);
    headerText->addWidget(notice);
    headerText->addWidget(licence);
    headerText->addWidget(purpose);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->addWidget(icon);
    headerLayout->addLayout(headerText, 1);

    auto* librariesIntro =
        new QLabel(uiText("Kestrin makes use of several libraries to decode your input image files:"), this);
    librariesIntro->setObjectName(QStringLiteral("aboutLibrariesIntro"));
    librariesIntro->setWordWrap(true);
    auto* credits = new QLabel(libraryCreditLines().join(QLatin1Char('\n')), this);
    credits->setObjectName(QStringLiteral("aboutCredits"));
    credits->setTextFormat(Qt::PlainText);
    credits->setWordWrap(true);
    credits->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("aboutOkButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addSpacing(6);
    layout->addWidget(librariesIntro);
    layout->addWidget(credits);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}
