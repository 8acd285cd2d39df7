#include "imagelib/formats/picture_file_types.h"

#include "imagelib/formats/any_format_decoder.h"
#include "imagelib/translated_text.h"

namespace {

using Format = CAnyFormatDecoder::Format;

std::vector<PictureFileType> makeTypes() {
    // The labels name the suffixes Windows dialogs have always shown; the
    // lists hold every name the desktop gives such files (.dib, .jpe, .jfif
    // and so on). An EPS file converts only when it carries a TIFF preview;
    // the others end in the decoder's "Unknown file type.".
    return {
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Bitmap (*.bmp)"),
         {"bmp", "dib"},
         {"image/bmp", "image/x-bmp", "image/x-ms-bmp"},
         {Format::FORMAT_BMP}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Tagged Image File Format (*.tif)"),
         {"tif", "tiff"},
         {"image/tiff"},
         {Format::FORMAT_TIFF}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "CompuServe Bitmap (*.gif)"),
         {"gif"},
         {"image/gif"},
         {Format::FORMAT_GIF}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "JPEG (*.jpg;*.jpeg)"),
         {"jpg", "jpeg", "jpe", "jfif"},
         {"image/jpeg"},
         {Format::FORMAT_JPEG}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Portable Network Graphics (*.png)"),
         {"png"},
         {"image/png"},
         {Format::FORMAT_PNG}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Netpbm (*.pnm)"),
         {"ppm", "pgm", "pbm", "pnm", "pam"},
         {"image/x-portable-graymap", "image/x-portable-pixmap", "image/x-portable-bitmap",
          "image/x-portable-anymap"},
         {Format::FORMAT_PGM, Format::FORMAT_PNM}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "PC Paintbrush (*.pcx)"),
         {"pcx"},
         {"image/vnd.zbrush.pcx", "image/x-pcx"},
         {Format::FORMAT_PCX}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Mac PICT (*.pct)"),
         {"pct", "pict"},
         {"image/x-pict"},
         {Format::FORMAT_PICT}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Targa (*.tga)"), {"tga"}, {"image/x-tga"}, {Format::FORMAT_TGA}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Windows Metafile (*.wmf;*.emf)"),
         {"wmf", "emf"},
         {"image/wmf", "image/x-wmf", "image/emf", "image/x-emf"},
         {Format::FORMAT_WMF, Format::FORMAT_EMF}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "WebP (*.webp)"), {"webp"}, {"image/webp"}, {Format::FORMAT_WEBP}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "HEIF and AVIF (*.heic;*.heif;*.avif)"),
         {"heic", "heif", "avif"},
         {"image/heif", "image/avif"},
         {Format::FORMAT_HEIF}},
        {KESTRIN_TRANSLATE_NOOP("Kestrin", "Encapsulated PostScript with TIFF preview (*.eps)"),
         {"eps", "epsf"},
         {"image/x-eps"},
         {Format::FORMAT_EPS_TIFF}},
    };
}

template <auto member>
std::vector<std::string> joined() {
    std::vector<std::string> all;
    for (const PictureFileType& type : pictureFileTypes())
        all.insert(all.end(), (type.*member).begin(), (type.*member).end());
    return all;
}

}  // namespace

const std::vector<PictureFileType>& pictureFileTypes() {
    static const std::vector<PictureFileType> types = makeTypes();
    return types;
}

std::vector<std::string> pictureFileSuffixes() {
    return joined<&PictureFileType::suffixes>();
}

std::vector<std::string> pictureMimeTypes() {
    return joined<&PictureFileType::mimeTypes>();
}
