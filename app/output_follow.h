#pragma once

#include <QString>

// Where the output and the image name stand when a picture is chosen.
struct PictureNaming {
    QString picture;
    QString output;
    QString imageName;
    // Typed by the user at any time since the window opened.
    bool imageNameByHand = false;
};

// The naming once `newPicture` is chosen, however it came (picked, dropped,
// typed, from the recent list or the command line), as kestrin-convert
// --outdir names it. The output follows the picture, into the folder of the
// last output (set by hand or not), or the picture's own when there is none:
// an output belongs to the picture it was set for. The image name is the
// picture's name up to its first ".", unless one was typed by hand. The same
// picture again changes nothing.
PictureNaming followPicture(const PictureNaming& previous, const QString& newPicture);
