#include "engine/source_loader.h"

#include "engine/palm_bitmap.h"
#include "engine/string_table.h"
#include "imagelib/any_format_decoder.h"
#include "imagelib/image_bitmap.h"
#include "imagelib/resize_filter.h"
#include "imagelib/text_exception.h"

#include <cstdio>

namespace {

void showLibraryError(UserNotifier& notifier, const char* format, const CTextException& error,
                      const std::string& inputPath) {
    // The library's texts are at most 255 characters; the path may be longer.
    const std::string message = error.GetMessage();
    const int length = std::snprintf(nullptr, 0, format, error.GetCode(), inputPath.c_str(), message.c_str());
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, format, error.GetCode(), inputPath.c_str(), message.c_str());
    notifier.showMessage(text, MessageIcon::Error);
}

}  // namespace

bool loadScaledPicture(const std::string& inputPath, int width, int height, CDIBBitmap& picture,
                       UserNotifier& notifier) {
    CAnyFormatDecoder decoder;
    try {
        decoder.DecodeFile(inputPath, picture, 32, nullptr);
    } catch (const CTextException& error) {
        showLibraryError(notifier, "Error %d decoding %s: %s", error, inputPath);
        return false;
    }
    try {
        CTentResizeFilter filter(width, height);
        filter.ApplyInPlace(picture);
    } catch (const CTextException& error) {
        showLibraryError(notifier, "Error %d resizing %s: %s", error, inputPath);
        return false;
    }
    return true;
}

bool SourceLoader::load(PalmBitmap& bitmap) {
    return bitmap.loadFromFile(m_inputPath, m_dither, m_notifier);
}

bool PalmBitmap::loadFromFile(const std::string& inputPath, int dither, UserNotifier& notifier) {
    if (depth() != 1 && depth() != 2 && depth() != 4 && depth() != 8) return false;
    CDIBBitmap picture;
    if (!loadScaledPicture(inputPath, width(), height(), picture, notifier)) return false;
    return loadFromBitmap(picture, dither);
}
