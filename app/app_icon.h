#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own artwork, compiled in from app/resources.
QIcon kestrinIcon();
// The 42 x 30 samples beside the colour-reduction choices: the same scene
// reduced to flat colours, and reduced with dithering.
QPixmap rawSamplePixmap();
QPixmap ditherSamplePixmap();
