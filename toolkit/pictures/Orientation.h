// Which way up a photo is meant to be seen. Cameras and phones store the
// picture as the sensor read it and record in EXIF (tag 0x0112) how to turn
// it: 1 as stored, 2 mirrored left to right, 3 turned half a turn, 4 mirrored
// top to bottom, 5 mirrored along the main diagonal, 6 turned a quarter turn
// clockwise, 7 mirrored along the other diagonal, 8 turned a quarter turn
// anticlockwise. The JPEG and PNG decoders apply it while they write the
// picture, so every caller sees it the right way up.
#pragma once

#include <cstdint>
#include <string_view>

#include "toolkit/pictures/Picture.h"

// The orientation an EXIF block records, 1 to 8. The block is the TIFF data
// (byte order mark, 42, directory offset), optionally after the "Exif\0\0"
// that JPEG's APP1 segment puts before it. Every read is checked against the
// block's end; a block that is damaged, cut short or holds no valid
// orientation gives 1, never an error.
int ExifOrientation(std::string_view block);

// 5 to 8 show the stored rows as columns.
constexpr bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// Writes the stored picture's rows, in any order, into `image` in their place
// for the orientation. The image must be the shown size: the stored width ×
// height, or height × width when SwapsSides(orientation).
class TOrientedRows {
public:
  TOrientedRows(TImage32& image, int orientation) : FImage(image), FOrientation(orientation) {}
  // Row y of the stored picture, its width pixels.
  void Put(int y, const uint32_t* row);

private:
  TImage32& FImage;
  int FOrientation;
};

// A whole stored picture as it is meant to be seen: turned in place for 1 to
// 4; for 5 to 8 into a new picture, so both are held for a moment.
TImage32 Oriented(TImage32 stored, int orientation);
