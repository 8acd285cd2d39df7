#pragma once

#include "engine/front_end.h"
#include "engine/palm_database.h"

#include <string>

class CDIBBitmap;

// Decodes a picture file into a 32-bit bitmap and stretches it to exactly
// width x height (the aspect ratio is not kept, nothing is cropped). On failure
// the user is shown "Error %d decoding %s: %s" or "Error %d resizing %s: %s"
// and false is returned.
bool loadScaledPicture(const std::string& inputPath, int width, int height, CDIBBitmap& picture,
                       UserNotifier& notifier);

// Fills each bitmap object of a run from the source file: every load decodes
// and scales the file again, then reduces the picture to the object's depth.
class SourceLoader : public BitmapLoader {
public:
    SourceLoader(std::string inputPath, int dither, UserNotifier& notifier)
        : m_inputPath(std::move(inputPath)), m_dither(dither), m_notifier(notifier) {}

    bool load(PalmBitmap& bitmap) override;

private:
    std::string m_inputPath;
    int m_dither;
    UserNotifier& m_notifier;
};
