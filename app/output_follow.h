#pragma once

#include <QString>

// Where the output and the image name stand when a picture is chosen.
struct PictureNaming {
    QString picture;
    QString output;
    QString imageName;
    // Typed or picked by the user: the output since `picture` was chosen,
    // the image name at any time since the window opened.
    bool outputByHand = false;
    bool imageNameByHand = false;
};

// The naming once `newPicture` is chosen: what the user did not set by hand
// follows the picture, as kestrin-convert --outdir names it. The output goes
// into the folder of the last output, or the picture's own when there is
// none; the image name is the picture's name up to its first ".". The same
// picture again changes nothing.
PictureNaming followPicture(const PictureNaming& previous, const QString& newPicture);
