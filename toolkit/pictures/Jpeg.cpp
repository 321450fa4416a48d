// JPEG through libjpeg(-turbo). libjpeg reports errors through error_exit,
// which must not return: ours longjmps back into one of the small Jpeg*
// functions below. They set the jump target, hold nothing with a destructor,
// and turn an error into `false`; the C++ exception is raised only after they
// have returned, so no jump ever crosses a C++ frame that has cleanup to do.
//
// This file must not see <windows.h>: on Windows libjpeg's own `boolean`
// differs from the one in the Windows headers.
#include <cstdio>  // jpeglib.h needs size_t and FILE first

#include <jpeglib.h>
// After jpeglib.h: the message codes depend on JPEG_LIB_VERSION, which it defines.
#include <jerror.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "toolkit/pictures/Orientation.h"
#include "toolkit/pictures/Picture.h"

#ifndef JCS_EXTENSIONS
#error "libjpeg-turbo's extended colour spaces (JCS_EXT_BGRA) are needed"
#endif

namespace {

// Legitimate progressive files have a few dozen scans at most; a hostile one
// can have thousands, each a full pass over the picture.
constexpr int kMaxScans = 500;

// libjpeg's working memory beside the picture itself. Progressive and
// multi-scan files need buffers for the whole picture's coefficients, sized
// by what the header claims before any of the data is seen; libjpeg asks for
// them at the start of decompression and, with no backing store to fall back
// on, fails at once when they would pass this. With the largest picture the
// size limit allows (512 MB) that makes 640 MB in all.
constexpr long kMaxWorkingMemory = 128L * 1000 * 1000;

struct TJpegError {
  jpeg_error_mgr Manager;  // first: libjpeg hands back a pointer to it
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX + 64];
};

// Everything libjpeg touches, as plain C data. Zero-initialised, so
// jpeg_destroy_decompress is safe on it whatever stage failed.
struct TJpegSession {
  jpeg_decompress_struct Info;
  TJpegError Error;
  jpeg_progress_mgr Progress;
};

[[noreturn]] void Fail(j_common_ptr cinfo, const char* message) {
  auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
  std::snprintf(error->Message, sizeof error->Message, "%s", message);
  std::longjmp(error->Jump, 1);
}

[[noreturn]] void OnErrorExit(j_common_ptr cinfo) {
  auto* error = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, error->Message);
  std::longjmp(error->Jump, 1);
}

void OnMessage(j_common_ptr cinfo, int level) {
  // A file that ends early would otherwise decode with its missing part grey.
  // Other warnings (stray bytes between markers and the like) leave a usable
  // picture and are dropped, as are trace messages.
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnErrorExit(cinfo);
}

void OnProgress(j_common_ptr cinfo) {
  const auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (info->input_scan_number > kMaxScans) {
    char message[96];
    std::snprintf(message, sizeof message, "JPEG 画像のスキャンが多すぎます (%d を超えています)", kMaxScans);
    Fail(cinfo, message);
  }
}

bool JpegReadHeader(TJpegSession* s, const uint8_t* data, size_t size) {
  s->Info.err = jpeg_std_error(&s->Error.Manager);
  s->Error.Manager.error_exit = OnErrorExit;
  s->Error.Manager.emit_message = OnMessage;
  if (setjmp(s->Error.Jump)) return false;
  jpeg_create_decompress(&s->Info);
  s->Info.mem->max_memory_to_use = kMaxWorkingMemory;
  s->Progress.progress_monitor = OnProgress;
  s->Info.progress = &s->Progress;
  if constexpr (sizeof(unsigned long) < sizeof(size_t)) {
    if (size > static_cast<unsigned long>(-1))
      Fail(reinterpret_cast<j_common_ptr>(&s->Info), "JPEG 画像のファイルが大きすぎます");
  }
  jpeg_mem_src(&s->Info, data, static_cast<unsigned long>(size));
  // APP1 holds EXIF (and XMP); a segment is at most 64 KiB.
  jpeg_save_markers(&s->Info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&s->Info, TRUE);
  return true;
}

// Picks the output colour space and the smallest scale n/8 whose result still
// covers the target.
bool JpegChooseOutput(TJpegSession* s, int targetWidth, int targetHeight) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_decompress_struct& info = s->Info;
  if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    info.out_color_space = JCS_CMYK;
  } else {
    info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
  }
  info.scale_num = 8;
  info.scale_denom = 8;
  if (targetWidth > 0 && targetHeight > 0) {
    for (unsigned n = 1; n <= 8; ++n) {
      info.scale_num = n;
      jpeg_calc_output_dimensions(&info);
      if (info.output_width >= static_cast<unsigned>(targetWidth) &&
          info.output_height >= static_cast<unsigned>(targetHeight))
        break;
    }
  }
  jpeg_calc_output_dimensions(&info);
  return true;
}

// Sets up decompression, which takes libjpeg's whole-picture buffers and, for
// a multi-scan file, reads the whole file into them: done before the output
// picture is allocated, so a file that claims more than it holds fails first.
bool JpegStart(TJpegSession* s) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_start_decompress(&s->Info);
  if (s->Info.output_components != 4)
    Fail(reinterpret_cast<j_common_ptr>(&s->Info), "JPEG 画像の出力の形式が合いません");
  return true;
}

// Decodes into the caller's rows, each output_width × 4 bytes: straight into
// all of them, or, with `oriented`, one row at a time into rows[0], which is
// then put in its place.
bool JpegDecode(TJpegSession* s, JSAMPARRAY rows, TOrientedRows* oriented) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_decompress_struct& info = s->Info;
  j_common_ptr common = reinterpret_cast<j_common_ptr>(&info);
  const JDIMENSION height = info.output_height;
  while (info.output_scanline < height) {
    const JDIMENSION y = info.output_scanline;
    if (jpeg_read_scanlines(&info, oriented ? rows : rows + y, oriented ? 1 : height - y) == 0)
      Fail(common, "JPEG 画像の読み込みが先に進みません");
    if (oriented) oriented->Put(static_cast<int>(y), reinterpret_cast<const uint32_t*>(rows[0]));
  }
  return true;
}

// The orientation of the first APP1 segment that holds EXIF; 1 without one.
int JpegOrientation(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
    const std::string_view data(reinterpret_cast<const char*>(marker->data), marker->data_length);
    if (marker->marker == JPEG_APP0 + 1 && data.starts_with(std::string_view("Exif\0\0", 6)))
      return ExifOrientation(data);
  }
  return 1;
}

// Releases libjpeg's memory on every way out of DecodeJpeg.
struct TJpegSessionGuard {
  TJpegSessionGuard() = default;
  ~TJpegSessionGuard() { jpeg_destroy_decompress(&Session.Info); }
  TJpegSessionGuard(const TJpegSessionGuard&) = delete;
  TJpegSessionGuard& operator=(const TJpegSessionGuard&) = delete;
  TJpegSession Session{};
};

// CMYK as libjpeg hands it over, one byte each in that order, to opaque RGB.
// Adobe's writers store the inks inverted, which their APP14 marker tells.
void CmykToRgb(TImage32& image, bool inverted) {
  for (uint32_t& pixel : image.Pixels()) {
    uint8_t ink[4];
    std::memcpy(ink, &pixel, 4);
    if (!inverted)
      for (uint8_t& v : ink) v = static_cast<uint8_t>(255 - v);
    const uint32_t k = ink[3];
    auto channel = [k](uint32_t v) { return (v * k + 127) / 255; };
    pixel = 0xFF000000u | channel(ink[0]) << 16 | channel(ink[1]) << 8 | channel(ink[2]);
  }
}

Exception Failed(const TJpegSession* s) {
  if (s->Error.Manager.msg_code == JERR_NO_BACKING_STORE)
    return Exception(Format(u"画像が大きすぎます (%s × %s ピクセル)。"
                            u"この JPEG 画像を読み込むには %s MB を超える作業メモリが要ります",
                            {IntToStr(s->Info.image_width), IntToStr(s->Info.image_height),
                             IntToStr(kMaxWorkingMemory / (1000 * 1000))}));
  return Exception(FromUtf8(s->Error.Message));
}

// Whether the error was the end of the bytes (none at all, or fewer than
// the file needs).
bool RanOut(const TJpegSession* s) {
  return s->Error.Manager.msg_code == JWRN_JPEG_EOF || s->Error.Manager.msg_code == JERR_INPUT_EMPTY;
}

// The header, the size against the limits, and the output for the target
// (the shown size; turned a quarter, the stored picture's width is shown as
// its height), ready for JpegStart. False when the bytes end first and were
// only the start of the file.
bool JpegOpen(TJpegSession* s, std::string_view bytes, bool partial, TPictureSize target,
              const TPictureLimits& limits, int& orientation) {
  if (!JpegReadHeader(s, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
    if (partial && RanOut(s)) return false;
    throw Failed(s);
  }
  CheckPictureSize(s->Info.image_width, s->Info.image_height, limits);
  orientation = JpegOrientation(s->Info);
  if (SwapsSides(orientation)) std::swap(target.Width, target.Height);
  if (!JpegChooseOutput(s, target.Width, target.Height)) throw Failed(s);
  return true;
}

}  // namespace

bool CheckJpegHeader(std::string_view head, uint64_t fileSize, TPictureSize target, const TPictureLimits& limits) {
  TJpegSessionGuard guard;
  TJpegSession* s = &guard.Session;
  const bool partial = head.size() < fileSize;
  int orientation = 1;
  if (!JpegOpen(s, head, partial, target, limits, orientation)) return false;
  // Starting decompression takes libjpeg's buffers, whole-picture ones for a
  // file of several scans, and fails when they would pass its working
  // memory. In buffered-image mode it stops there, before reading the scans
  // that a plain start would read whole; it asks for the same buffers.
  if (jpeg_has_multiple_scans(&s->Info)) s->Info.buffered_image = TRUE;
  if (!JpegStart(s)) {
    if (partial && RanOut(s)) return false;
    throw Failed(s);
  }
  return true;
}

TImage32 DecodeJpeg(std::string_view bytes, TPictureSize target, const TPictureLimits& limits) {
  TJpegSessionGuard guard;
  TJpegSession* s = &guard.Session;
  auto failed = [s] { return Failed(s); };

  int orientation = 1;
  JpegOpen(s, bytes, false, target, limits, orientation);
  const bool swaps = SwapsSides(orientation);
  if (!JpegStart(s)) throw failed();

  const int width = static_cast<int>(s->Info.output_width), height = static_cast<int>(s->Info.output_height);
  TImage32 image = swaps ? TImage32(height, width) : TImage32(width, height);
  if (orientation == 1) {
    std::vector<JSAMPROW> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) rows[y] = reinterpret_cast<JSAMPROW>(image.Row(y));
    if (!JpegDecode(s, rows.data(), nullptr)) throw failed();
  } else {
    std::vector<uint32_t> row(static_cast<size_t>(width));
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row.data())};
    TOrientedRows oriented(image, orientation);
    if (!JpegDecode(s, rows, &oriented)) throw failed();
  }
  if (s->Info.out_color_space == JCS_CMYK) CmykToRgb(image, s->Info.saw_Adobe_marker);
  const int sourceWidth = static_cast<int>(s->Info.image_width), sourceHeight = static_cast<int>(s->Info.image_height);
  if (swaps) image.SetSourceSize(sourceHeight, sourceWidth);
  else image.SetSourceSize(sourceWidth, sourceHeight);
  return image;
}
