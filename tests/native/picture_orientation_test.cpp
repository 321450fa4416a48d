// The EXIF orientation reader against damaged and unusual blocks; the
// decoders' use of it is checked with their fixtures.
#include <gtest/gtest.h>

#include <string>

#include "toolkit/pictures/Orientation.h"

namespace {

// A TIFF block in Motorola byte order: one directory of `entriesBefore` other
// entries, then the orientation with the given type, count and value field.
std::string Block(uint16_t type, uint32_t count, const std::string& value, int entriesBefore = 1) {
  auto u16 = [](uint32_t v) { return std::string{char(v >> 8), char(v & 0xFF)}; };
  auto u32 = [&](uint32_t v) { return u16(v >> 16) + u16(v & 0xFFFF); };
  std::string b = "MM" + u16(42) + u32(8) + u16(entriesBefore + 1);
  for (int i = 0; i < entriesBefore; ++i) b += u16(0x010F) + u16(2) + u32(4) + std::string("abc\0", 4);
  return b + u16(0x0112) + u16(type) + u32(count) + value + u32(0);
}

const std::string kShortSix("\0\x06\0\0", 4);

TEST(ExifOrientation, ReadsTheTagInEitherByteOrderWithOrWithoutTheApp1Header) {
  EXPECT_EQ(ExifOrientation(Block(3, 1, kShortSix)), 6);
  EXPECT_EQ(ExifOrientation(std::string("Exif\0\0", 6) + Block(3, 1, kShortSix)), 6);
  EXPECT_EQ(ExifOrientation(Block(4, 1, std::string("\0\0\0\x08", 4))), 8);  // as a long
  EXPECT_EQ(ExifOrientation(Block(3, 1, std::string("\0\x03\0\0", 4), 0)), 3);  // the only entry
  const std::string intel("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x05\0\0\0\0\0\0\0", 26);
  EXPECT_EQ(ExifOrientation(intel), 5);
}

TEST(ExifOrientation, AnyDamageMeansAsStored) {
  const std::string good = Block(3, 1, kShortSix);
  const struct {
    const char* What;
    std::string Block;
  } cases[] = {
      {"empty", ""},
      {"unknown byte order", "MI" + good.substr(2)},
      {"not 42", good.substr(0, 3) + '\x2B' + good.substr(4)},
      {"directory inside the header", good.substr(0, 4) + std::string("\0\0\0\x04", 4) + good.substr(8)},
      {"directory past the end", good.substr(0, 4) + std::string("\0\0\x10\0", 4) + good.substr(8)},
      {"directory at the last byte", good.substr(0, 4) + std::string("\0\0\0\x25", 4) + good.substr(8)},
      {"directory offset at its largest", good.substr(0, 4) + std::string("\xFF\xFF\xFF\xFF", 4) + good.substr(8)},
      {"more entries than the block holds", good.substr(0, 8) + "\xFF\xFF" + good.substr(10, 12)},
      {"orientation as text", Block(2, 1, kShortSix)},
      {"orientation as two values", Block(3, 2, kShortSix)},
      {"orientation 0", Block(3, 1, std::string(4, '\0'))},
      {"orientation 9", Block(3, 1, std::string("\0\x09\0\0", 4))},
      {"orientation in the wrong half", Block(3, 1, std::string("\0\0\0\x06", 4))},
      {"no orientation", Block(3, 1, kShortSix).replace(22, 2, "\x01\x13")},
  };
  for (const auto& c : cases) EXPECT_EQ(ExifOrientation(c.Block), 1) << c.What;
  // Cut anywhere before the end of the orientation's value: as stored.
  const size_t valueEnd = good.size() - 4 - 2;
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_EQ(ExifOrientation(good.substr(0, length)), length >= valueEnd ? 6 : 1) << length;
}

}  // namespace
