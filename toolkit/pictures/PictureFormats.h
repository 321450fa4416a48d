// The picture formats of the program in one table: which extensions are
// taken where, the decoder of each, the open dialog's filter, and the message
// for any other extension. Every caller that takes a picture file name asks
// here: the command line, the picture window, the main window's preview and
// its open dialog.
#pragma once

#include <cstdint>
#include <span>

#include "toolkit/SysUtils.h"
#include "toolkit/pictures/Picture.h"

// Where a picture file name is taken, as a set.
enum TPictureUse : uint8_t {
  puCommandLine = 1,    // /p: on the command line
  puMainWindow = 2,     // the main window's preview, open dialog and drop
  puPictureWindow = 4,  // the picture window (and so the loader)
};

enum class TPictureDecoder : uint8_t {
  Bmp, Jpeg, Png,         // our own decoders, in both builds
  Icon, Tiff, Emf, Wmf,   // through the platform (Windows build only)
};

struct TPictureFormat {
  const char16_t* Extension;  // without the dot, in lower case
  TPictureDecoder Decoder;
  uint8_t Uses;               // TPictureUse flags
};

// Every format of this build. The platform's kinds exist in the Windows build
// only, since the native build has no decoder for them.
std::span<const TPictureFormat> PictureFormats();

// Picture files larger than this are refused before they are read.
constexpr uint64_t kMaxPictureFileSize = 640ull << 20;

// The part of a file name after its last dot, without the dot; empty when no
// dot follows the last path separator (\, / or :).
String PictureExtension(StringView fileName);

// The format of `extension` (with or without its dot, in any case) when it is
// taken for `use`; nullptr otherwise.
const TPictureFormat* FindPictureFormat(StringView extension, TPictureUse use);

// Whether a file of this name is a picture for `use`, by its extension alone.
bool IsPictureFileName(StringView fileName, TPictureUse use);

// "拡張子 .<ext> の画像形式は処理できません", the extension as written.
String UnsupportedPictureMessage(StringView extension);

// The open dialog's filter: "画像ファイル" and "*.bmp;*.jpg;*.jpeg;*.png".
extern const String kPictureFilterName;
String PictureFilterMask(TPictureUse use);

// Decodes a picture held in `bytes`, the decoder chosen by `extension` (with
// or without its dot, in any case) among the picture window's formats.
// Raises the extension message for any other extension. With a target, a
// side larger than the target's is reduced to it (JPEG and PNG while they
// decode, see DecodeJpeg and DecodePng; metafiles are drawn at that size).
TImage32 DecodePicture(std::string_view bytes, StringView extension, TPictureSize target = {},
                       const TPictureLimits& limits = {});

// The decoder's first checks on the start of a file (CheckBmpHeader and the
// others): `head` is its first bytes, `fileSize` its length, the decoder
// chosen as DecodePicture chooses it, whose messages it raises. True when
// the header is sound, or the format has no such check; false when the head
// ends before the header does.
bool CheckPictureHeader(std::string_view head, uint64_t fileSize, StringView extension, TPictureSize target = {},
                        const TPictureLimits& limits = {});

// At most this much of a file is read to check its header: first the short
// look, in which nearly every header ends, and the longer one only for a
// header that runs on past it (a JPEG carrying a large preview, say).
constexpr size_t kPictureFirstLook = 64 * 1024;
constexpr size_t kPictureHeadSize = 1 << 20;

// Reads the start of a picture file through the system seam, at most
// kPictureHeadSize bytes, and checks its header for showing at `target`:
// raises what DecodePictureFile would raise for a file it cannot read, an
// extension it does not take, or a damaged header, and returns otherwise.
// Damage in the picture's data, or a header longer than the head read, is
// left to the decode.
void CheckPictureFileHeader(const String& fileName, TPictureSize target);

// Reads a picture file through the system seam and decodes it for showing at
// `target`. Raises the extension message for an extension the picture window
// does not take (without reading the file), the reader's message naming the
// file, or the decoder's own message.
TImage32 DecodePictureFile(const String& fileName, TPictureSize target);
