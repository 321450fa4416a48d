// Resampling a picture to the size it is shown at. Shrinking averages every
// source pixel under a target pixel by the area it covers, so fine detail
// turns into its true mean instead of whichever pixel happens to be picked;
// enlarging interpolates linearly between the nearest source pixels. Both
// work on the premultiplied colours, which is what makes averaging across
// transparent edges right.
#pragma once

#include "toolkit/pictures/Picture.h"

// A new picture of width × height (both at least 1); the transparency flag
// carries over.
TImage32 ResizePicture(const TImage32& source, int width, int height);
