#include "toolkit/pictures/PlatformPicture.h"

#include <initguid.h>  // the WIC identifiers, defined here

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <utility>
#include <vector>

#include "toolkit/ComWin32.h"
#include "toolkit/Win32.h"

namespace {

// The system's words for an HRESULT, with its code.
String SystemText(HRESULT result) {
  const String out = Trim(SysErrorMessage(static_cast<uint32_t>(result)));
  wchar_t code[16];
  std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
  return out.empty() ? u"HRESULT " + S(code) : out + u" [" + S(code) + u"]";
}

void Check(HRESULT result, StringView kind) {
  if (FAILED(result))
    throw Exception(Format(u"%s 画像を読み込めません (%s)", {kind, SystemText(result)}));
}

void NoteAlpha(TImage32& image) {
  const auto pixels = image.Pixels();
  image.SetHasAlpha(std::any_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p < 0xFF000000u; }));
}

// ---- WIC: icons and TIFF -----------------------------------------------------

// WIC is looked up at its first use: only icons and TIFF need it, and loading
// it with the program would cost every start.
struct TWicFunctions {
  decltype(&::CoCreateInstance) CoCreateInstance =
      SystemFunction<decltype(&::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
  decltype(&::WICConvertBitmapSource) WICConvertBitmapSource =
      SystemFunction<decltype(&::WICConvertBitmapSource)>(L"windowscodecs.dll", "WICConvertBitmapSource");
};

const TWicFunctions& Wic(StringView kind) {
  static const TWicFunctions functions;
  if (!functions.CoCreateInstance || !functions.WICConvertBitmapSource)
    throw Exception(Format(u"%s 画像を読み込めません (windowscodecs.dll)", {kind}));
  return functions;
}

TImage32 DecodeWithWic(std::string_view bytes, const GUID& container, StringView kind, bool largestFrame,
                       const TPictureLimits& limits) {
  if (bytes.size() > 0xFFFFFFFFu) throw Exception(Format(u"%s 画像のファイルが大きすぎます", {kind}));
  const TWicFunctions& wic = Wic(kind);
  TComScope com;
  TComPtr<IWICImagingFactory> factory;
  Check(wic.CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                           reinterpret_cast<void**>(factory.Put())),
        kind);
  TComPtr<IWICStream> stream;
  Check(factory->CreateStream(stream.Put()), kind);
  Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                     static_cast<DWORD>(bytes.size())),
        kind);
  // The extension has chosen the format: the data is not sniffed for another.
  TComPtr<IWICBitmapDecoder> decoder;
  Check(factory->CreateDecoder(container, nullptr, decoder.Put()), kind);
  Check(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand), kind);

  UINT frames = 0;
  Check(decoder->GetFrameCount(&frames), kind);
  if (frames == 0) throw Exception(Format(u"%s 画像に絵がありません", {kind}));
  UINT chosen = 0;
  if (largestFrame) {
    uint64_t largest = 0;
    for (UINT i = 0; i < frames; ++i) {
      TComPtr<IWICBitmapFrameDecode> frame;
      UINT width = 0, height = 0;
      if (FAILED(decoder->GetFrame(i, frame.Put())) || FAILED(frame->GetSize(&width, &height))) continue;
      if (uint64_t(width) * height > largest) largest = uint64_t(width) * height, chosen = i;
    }
  }
  TComPtr<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(chosen, frame.Put()), kind);
  UINT width = 0, height = 0;
  Check(frame->GetSize(&width, &height), kind);
  CheckPictureSize(width, height, limits);

  TComPtr<IWICBitmapSource> converted;
  Check(wic.WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame.Get(), converted.Put()), kind);
  TImage32 image(static_cast<int>(width), static_cast<int>(height));
  const UINT stride = width * 4;
  Check(converted->CopyPixels(nullptr, stride, stride * height, reinterpret_cast<BYTE*>(image.Row(0))), kind);
  NoteAlpha(image);
  return image;
}

// ---- GDI: metafiles ------------------------------------------------------------

struct TEnhMetaFileTraits {
  using Handle = HENHMETAFILE;
  static HENHMETAFILE Invalid() { return nullptr; }
  static void Close(HENHMETAFILE h) { ::DeleteEnhMetaFile(h); }
};
using TEnhMetaFile = THandleGuard<TEnhMetaFileTraits>;

const String kEmfKind = u"拡張メタファイル";
const String kWmfKind = u"メタファイル";

// The size to draw at: the target, or the recorded size brought within the
// limits with its proportions kept (a drawing has no pixels of its own).
TPictureSize DrawingSize(int64_t width, int64_t height, TPictureSize target, const TPictureLimits& limits) {
  if (target.Width > 0 && target.Height > 0) return target;
  width = std::max<int64_t>(width, 1);
  height = std::max<int64_t>(height, 1);
  double scale = std::min(1.0, double(limits.MaxSide) / double(std::max(width, height)));
  scale = std::min(scale, std::sqrt(double(limits.MaxPixels) / (double(width) * double(height))));
  return {static_cast<int>(std::max<int64_t>(1, static_cast<int64_t>(width * scale))),
          static_cast<int>(std::max<int64_t>(1, static_cast<int64_t>(height * scale)))};
}

// One rendering of the metafile onto a plain background, as 0x00RRGGBB.
bool Play(HENHMETAFILE emf, int width, int height, DWORD background, std::vector<uint32_t>& out) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  TBitmapHandle bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return false;
  const TMemoryDC dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  TSelectObject select(dc.Get(), bitmap.Get());
  ::PatBlt(dc.Get(), 0, 0, width, height, background);
  const RECT frame{0, 0, width, height};
  const bool played = ::PlayEnhMetaFile(dc.Get(), emf, &frame) != FALSE;
  ::GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  out.assign(pixels, pixels + static_cast<size_t>(width) * height);
  return played;
}

// Drawn once on black and once on white: where the two agree the drawing is
// opaque, where they differ by everything it is absent, and in between it is
// that much transparent. The black rendering is the premultiplied colour.
TImage32 RenderMetafile(HENHMETAFILE emf, int64_t width, int64_t height, TPictureSize target,
                        const TPictureLimits& limits, StringView kind) {
  const TPictureSize size = DrawingSize(width, height, target, limits);
  CheckPictureSize(size.Width, size.Height, limits);
  std::vector<uint32_t> onBlack, onWhite;
  if (!Play(emf, size.Width, size.Height, BLACKNESS, onBlack) ||
      !Play(emf, size.Width, size.Height, WHITENESS, onWhite))
    throw Exception(Format(u"%s を描けません", {kind}));
  TImage32 image(size.Width, size.Height);
  auto out = image.Pixels();
  for (size_t i = 0; i < out.size(); ++i) {
    uint32_t gap = 0;
    for (int c = 0; c < 3; ++c) {
      const int b = (onBlack[i] >> (8 * c)) & 0xFF, w = (onWhite[i] >> (8 * c)) & 0xFF;
      gap = std::max<uint32_t>(gap, static_cast<uint32_t>(std::clamp(w - b, 0, 255)));
    }
    const uint32_t alpha = 255 - gap;
    uint32_t pixel = alpha << 24;
    for (int c = 0; c < 3; ++c) pixel |= std::min((onBlack[i] >> (8 * c)) & 0xFF, alpha) << (8 * c);
    out[i] = pixel;
  }
  NoteAlpha(image);
  return image;
}

// The size an enhanced metafile records for itself, in pixels at 96 DPI.
void RecordedSize(HENHMETAFILE emf, int64_t& width, int64_t& height) {
  ENHMETAHEADER header{};
  width = height = 0;
  if (!::GetEnhMetaFileHeader(emf, sizeof header, &header)) return;
  const int64_t frameWidth = int64_t(header.rclFrame.right) - header.rclFrame.left;
  const int64_t frameHeight = int64_t(header.rclFrame.bottom) - header.rclFrame.top;
  width = frameWidth * 96 / 2540;  // .01 mm
  height = frameHeight * 96 / 2540;
  if (width <= 0 || height <= 0) {
    width = int64_t(header.rclBounds.right) - header.rclBounds.left + 1;
    height = int64_t(header.rclBounds.bottom) - header.rclBounds.top + 1;
  }
}

TImage32 DecodeEmf(std::string_view bytes, TPictureSize target, const TPictureLimits& limits) {
  ENHMETAHEADER header{};
  if (bytes.size() < 88 || bytes.size() > 0xFFFFFFFFu) throw Exception(u"拡張メタファイルの形式が正しくありません");
  std::memcpy(&header, bytes.data(), std::min(bytes.size(), sizeof header));
  if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE)
    throw Exception(u"拡張メタファイルの形式が正しくありません");
  TEnhMetaFile emf(::SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), reinterpret_cast<const BYTE*>(bytes.data())));
  if (!emf) throw Exception(u"拡張メタファイルが壊れています");
  int64_t width = 0, height = 0;
  RecordedSize(emf.Get(), width, height);
  return RenderMetafile(emf.Get(), width, height, target, limits, kEmfKind);
}

#pragma pack(push, 2)
struct TPlaceableHeader {  // the "Aldus" header in front of a .wmf file
  uint32_t Key;
  uint16_t Handle;
  int16_t Left, Top, Right, Bottom;
  uint16_t Inch;
  uint32_t Reserved;
  uint16_t Checksum;
};
struct TMetaHeader {  // METAHEADER
  uint16_t Type;
  uint16_t HeaderSize;
  uint16_t Version;
  uint32_t Size;
  uint16_t NoObjects;
  uint32_t MaxRecord;
  uint16_t NoParameters;
};
#pragma pack(pop)
static_assert(sizeof(TPlaceableHeader) == 22 && sizeof(TMetaHeader) == 18);
constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;

TImage32 DecodeWmf(std::string_view bytes, TPictureSize target, const TPictureLimits& limits) {
  const String damaged = u"メタファイルの形式が正しくありません";
  TPlaceableHeader placeable{};
  bool hasPlaceable = false;
  if (bytes.size() >= sizeof placeable) {
    std::memcpy(&placeable, bytes.data(), sizeof placeable);
    hasPlaceable = placeable.Key == kPlaceableKey;
  }
  const std::string_view records = hasPlaceable ? bytes.substr(sizeof placeable) : bytes;
  TMetaHeader header{};
  if (records.size() < sizeof header || records.size() > 0xFFFFFFFFu) throw Exception(damaged);
  std::memcpy(&header, records.data(), sizeof header);
  if ((header.Type != 1 && header.Type != 2) || header.HeaderSize != 9) throw Exception(damaged);

  int64_t width = 0, height = 0;
  METAFILEPICT picture{MM_ANISOTROPIC, 0, 0, nullptr};
  if (hasPlaceable) {
    const int64_t inch = placeable.Inch ? placeable.Inch : 1440;
    const int64_t units = std::abs(int64_t(placeable.Right) - placeable.Left);
    const int64_t rows = std::abs(int64_t(placeable.Bottom) - placeable.Top);
    width = units * 96 / inch;
    height = rows * 96 / inch;
    picture.xExt = static_cast<LONG>(units * 2540 / inch);  // .01 mm
    picture.yExt = static_cast<LONG>(rows * 2540 / inch);
  }
  TEnhMetaFile emf(::SetWinMetaFileBits(static_cast<UINT>(records.size()),
                                        reinterpret_cast<const BYTE*>(records.data()), nullptr,
                                        hasPlaceable ? &picture : nullptr));
  if (!emf) throw Exception(u"メタファイルが壊れています");
  if (width <= 0 || height <= 0) RecordedSize(emf.Get(), width, height);
  return RenderMetafile(emf.Get(), width, height, target, limits, kWmfKind);
}

}  // namespace

TImage32 DecodePlatformPicture(std::string_view bytes, TPictureDecoder decoder, TPictureSize target,
                               const TPictureLimits& limits) {
  switch (decoder) {
    case TPictureDecoder::Icon: return DecodeWithWic(bytes, GUID_ContainerFormatIco, u"アイコン", true, limits);
    case TPictureDecoder::Tiff: return DecodeWithWic(bytes, GUID_ContainerFormatTiff, u"TIFF", false, limits);
    case TPictureDecoder::Emf: return DecodeEmf(bytes, target, limits);
    case TPictureDecoder::Wmf: return DecodeWmf(bytes, target, limits);
    default: throw std::logic_error("not a platform picture decoder");
  }
}
