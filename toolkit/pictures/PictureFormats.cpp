#include "toolkit/pictures/PictureFormats.h"

#include <array>

#include "toolkit/SystemApi.h"
#include "toolkit/pictures/Resize.h"

#ifdef _WIN32
#include "toolkit/pictures/PlatformPicture.h"
#endif

const String kPictureFilterName = u"画像ファイル";

namespace {

constexpr uint8_t kEverywhere = puCommandLine | puMainWindow | puPictureWindow;
constexpr uint8_t kWindows = puMainWindow | puPictureWindow;

constexpr std::array kFormats = {
    TPictureFormat{u"bmp", TPictureDecoder::Bmp, kEverywhere},
    TPictureFormat{u"jpg", TPictureDecoder::Jpeg, kEverywhere},
    TPictureFormat{u"jpeg", TPictureDecoder::Jpeg, kWindows},
    TPictureFormat{u"png", TPictureDecoder::Png, kWindows},
#ifdef _WIN32
    TPictureFormat{u"ico", TPictureDecoder::Icon, puPictureWindow},
    TPictureFormat{u"wmf", TPictureDecoder::Wmf, puPictureWindow},
    TPictureFormat{u"emf", TPictureDecoder::Emf, puPictureWindow},
    TPictureFormat{u"tif", TPictureDecoder::Tiff, puPictureWindow},
    TPictureFormat{u"tiff", TPictureDecoder::Tiff, puPictureWindow},
#endif
};

StringView WithoutDot(StringView extension) {
  return extension.starts_with(u'.') ? extension.substr(1) : extension;
}

[[noreturn]] void RaiseUnreadable(const String& fileName, uint32_t error) {
  const String reason = error == kErrorFileTooLarge
                            ? Format(u"%s MB を超えるファイルは扱えません", {IntToStr(kMaxPictureFileSize >> 20)})
                            : SystemErrorText(error);
  throw Exception(Format(u"画像ファイル「%s」を読み込めません。(%s)", {fileName, reason}));
}

std::string ReadPictureBytes(const String& fileName) {
  std::string bytes;
  uint32_t error = 0;
  if (!SystemPlatform().ReadFileBytes(fileName, kMaxPictureFileSize, bytes, error)) RaiseUnreadable(fileName, error);
  return bytes;
}

TImage32 DecodeAny(const TPictureFormat& format, std::string_view bytes, TPictureSize target,
                   const TPictureLimits& limits) {
  switch (format.Decoder) {
    case TPictureDecoder::Bmp: return DecodeBmp(bytes, limits);
    case TPictureDecoder::Jpeg: return DecodeJpeg(bytes, target, limits);
    case TPictureDecoder::Png: return DecodePng(bytes, target, limits);
    default: break;
  }
#ifdef _WIN32
  return DecodePlatformPicture(bytes, format.Decoder, target, limits);
#else
  throw Exception(UnsupportedPictureMessage(format.Extension));  // not in this build's table
#endif
}

bool CheckAny(const TPictureFormat& format, std::string_view head, uint64_t fileSize, TPictureSize target,
              const TPictureLimits& limits) {
  switch (format.Decoder) {
    case TPictureDecoder::Bmp: return CheckBmpHeader(head, fileSize, limits);
    case TPictureDecoder::Jpeg: return CheckJpegHeader(head, fileSize, target, limits);
    case TPictureDecoder::Png: return CheckPngHeader(head, fileSize, limits);
    default: return true;  // the platform's decoders are asked only for the whole file
  }
}

// Whatever a decoder gives beyond the target (a JPEG's DCT scale covers it,
// a bitmap comes whole) is reduced to it, so only what is shown is kept.
TImage32 Decode(const TPictureFormat& format, std::string_view bytes, TPictureSize target,
                const TPictureLimits& limits) {
  return ReducedToTarget(DecodeAny(format, bytes, target, limits), target);
}

}  // namespace

std::span<const TPictureFormat> PictureFormats() { return kFormats; }

String PictureExtension(StringView fileName) {
  const size_t dot = fileName.find_last_of(u".\\/:");
  if (dot == StringView::npos || fileName[dot] != u'.') return String();
  return String(fileName.substr(dot + 1));
}

const TPictureFormat* FindPictureFormat(StringView extension, TPictureUse use) {
  const StringView name = WithoutDot(extension);
  for (const TPictureFormat& format : kFormats)
    if ((format.Uses & use) && SameText(name, format.Extension)) return &format;
  return nullptr;
}

bool IsPictureFileName(StringView fileName, TPictureUse use) {
  return FindPictureFormat(PictureExtension(fileName), use) != nullptr;
}

String UnsupportedPictureMessage(StringView extension) {
  return Format(u"拡張子 .%s の画像形式は処理できません", {WithoutDot(extension)});
}

String PictureFilterMask(TPictureUse use) {
  String mask;
  for (const TPictureFormat& format : kFormats) {
    if (!(format.Uses & use)) continue;
    if (!mask.empty()) mask += u';';
    mask += u"*.";
    mask += format.Extension;
  }
  return mask;
}

TImage32 DecodePicture(std::string_view bytes, StringView extension, TPictureSize target,
                       const TPictureLimits& limits) {
  const TPictureFormat* format = FindPictureFormat(extension, puPictureWindow);
  if (!format) throw Exception(UnsupportedPictureMessage(extension));
  return Decode(*format, bytes, target, limits);
}

bool CheckPictureHeader(std::string_view head, uint64_t fileSize, StringView extension, TPictureSize target,
                        const TPictureLimits& limits) {
  const TPictureFormat* format = FindPictureFormat(extension, puPictureWindow);
  if (!format) throw Exception(UnsupportedPictureMessage(extension));
  return CheckAny(*format, head, fileSize, target, limits);
}

void CheckPictureFileHeader(const String& fileName, TPictureSize target) {
  const String extension = PictureExtension(fileName);
  const TPictureFormat* format = FindPictureFormat(extension, puPictureWindow);
  if (!format) throw Exception(UnsupportedPictureMessage(extension));
  for (const size_t headSize : {kPictureFirstLook, kPictureHeadSize}) {
    std::string head;
    uint64_t fileSize = 0;
    uint32_t error = 0;
    if (!SystemPlatform().ReadFileHead(fileName, kMaxPictureFileSize, headSize, head, fileSize, error))
      RaiseUnreadable(fileName, error);
    if (CheckAny(*format, head, fileSize, target, {}) || head.size() >= fileSize) return;
  }
}

TImage32 DecodePictureFile(const String& fileName, TPictureSize target) {
  const String extension = PictureExtension(fileName);
  const TPictureFormat* format = FindPictureFormat(extension, puPictureWindow);
  if (!format) throw Exception(UnsupportedPictureMessage(extension));
  return Decode(*format, ReadPictureBytes(fileName), target, {});
}
