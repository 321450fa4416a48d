// The measurements that need Windows, run under Wine by scripts/bench. Each
// command prints its figures and ends with one "goal" line: the name, the
// measured ratio or figure, the goal, met or missed. Times are medians over
// the runs; a ratio compares with a baseline measured in the same command.
//
//   win_bench start RUNS TOLVI BARE [INGREDIENTS]   start to the main window
//                                       shown, and the private working set once
//                                       shown; against the same ingredients too
//   win_bench logoff RUNS TOLVI BARE TRACE   "/m:3 /no" to the log-off request
//   win_bench picture RUNS TOLVI FOLDER the confirmation's Yes to the picture
//                                       window, against decoding the photo
//   win_bench leaks FOLDER              1000 preview changes and 50 picture
//                                       windows: GDI, USER objects, private bytes
//   win_bench idle SECONDS              the main window idle: CPU time, paints
//   win_bench saved RUNS TOLVI FOLDER BARE
//                                       start to the main window shown, and the
//                                       private working set once its preview is
//                                       drawn, with a 24 MP PNG and a 24 MP JPEG
//                                       saved, against no picture saved; and the
//                                       bare window with and without one thread
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <csetjmp>

#include "app/ME.h"
#include "bench/PhotoPixels.h"
#include "forms/DispImageWin32.h"
#include "forms/TolviMainWin32.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/pictures/Image.h"
#include "toolkit/pictures/PictureFormats.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Goal(const char* name, const char* figure, bool met, const char* goal) {
  std::printf("goal %s: %s (goal %s) %s\n", name, figure, goal, met ? "met" : "missed");
  std::fflush(stdout);
}

// ---- other processes -------------------------------------------------------------

struct TChild {
  PROCESS_INFORMATION Info{};
  bool Start(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    std::wstring line = commandLine;
    return ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &Info);
  }
  // Waits for the end; a process still there after `ms` is ended.
  void End(DWORD ms) {
    if (!Info.hProcess) return;
    if (::WaitForSingleObject(Info.hProcess, ms) != WAIT_OBJECT_0) {
      ::TerminateProcess(Info.hProcess, 1);
      ::WaitForSingleObject(Info.hProcess, 5000);
    }
    ::CloseHandle(Info.hThread);
    ::CloseHandle(Info.hProcess);
    Info = {};
  }
  ~TChild() { End(10000); }
};

// The first visible top-level window of `pid` that `accept` takes.
HWND VisibleWindowOf(DWORD pid, const std::function<bool(HWND)>& accept = nullptr) {
  struct TSearch {
    DWORD Pid;
    const std::function<bool(HWND)>* Accept;
    HWND Found;
  } search{pid, &accept, nullptr};
  ::EnumWindows(
      [](HWND wnd, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(data);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(wnd, &owner);
        if (owner != s.Pid || !::IsWindowVisible(wnd)) return TRUE;
        if (*s.Accept && !(*s.Accept)(wnd)) return TRUE;
        s.Found = wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// Polls every millisecond for up to `ms`.
HWND WaitForWindow(const TChild& child, DWORD ms, const std::function<bool(HWND)>& accept = nullptr) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < until) {
    if (const HWND wnd = VisibleWindowOf(child.Info.dwProcessId, accept)) return wnd;
    if (::WaitForSingleObject(child.Info.hProcess, 1) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

std::string ReadWholeFile(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  ::CloseHandle(file);
  return bytes;
}

// Under Wine a process is a Linux process, and the host's /proc tells what
// the system does not: its folder is found by the program's file name in
// its command line. ("Z:\\proc\\self" would not do: Wine's server opens
// files for its clients, so "self" is the server.)
std::wstring HostProcessDir(const std::wstring& program) {
  const std::wstring base = program.substr(program.find_last_of(L"\\/") + 1);
  const std::string name(base.begin(), base.end());
  WIN32_FIND_DATAW found{};
  const HANDLE find = ::FindFirstFileW(L"Z:\\proc\\*", &found);
  if (find == INVALID_HANDLE_VALUE) return {};
  std::wstring result;
  do {
    if (!std::iswdigit(found.cFileName[0])) continue;
    const std::wstring dir = std::wstring(L"Z:\\proc\\") + found.cFileName;
    const std::string commandLine = ReadWholeFile(dir + L"\\cmdline");
    const std::string first = commandLine.substr(0, commandLine.find('\0'));  // the program, not its arguments
    if (first.size() < name.size() || first.compare(first.size() - name.size(), name.size(), name) != 0) continue;
    result = dir;
    break;
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return result;
}

// The process's private working set under Wine: its anonymous resident
// memory (heaps, stacks and the pages it has written). Pages of files it
// maps (its DLLs' code, the font files FreeType reads) are left out, as
// Windows leaves shareable pages out of a private working set; Linux counts
// such a page as private while one process alone maps it.
double HostPrivateResident(const std::wstring& program) {
  const std::wstring dir = HostProcessDir(program);
  if (dir.empty()) return 0;
  const std::string rollup = ReadWholeFile(dir + L"\\smaps_rollup");
  const char* key = "Anonymous:";
  const size_t at = rollup.find(key);
  return at == std::string::npos ? 0 : std::atof(rollup.c_str() + at + std::strlen(key)) * 1024;
}

// What a process alone keeps in memory: the private pages of its working
// set. Windows reports them through PSAPI; where it reports nothing (Wine),
// the host's count of the process's private resident pages.
double PrivateWorkingSet(HANDLE process, const std::wstring& program) {
  std::vector<char> buffer(sizeof(PSAPI_WORKING_SET_INFORMATION) + sizeof(PSAPI_WORKING_SET_BLOCK) * 400000);
  auto* ws = reinterpret_cast<PSAPI_WORKING_SET_INFORMATION*>(buffer.data());
  size_t privatePages = 0;
  if (::QueryWorkingSet(process, ws, static_cast<DWORD>(buffer.size())))
    for (ULONG_PTR i = 0; i < ws->NumberOfEntries; ++i)
      if (!ws->WorkingSetInfo[i].Shared) ++privatePages;
  if (privatePages > 0) {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return double(privatePages) * info.dwPageSize;
  }
  return HostPrivateResident(program);
}

// ---- start-up and memory -----------------------------------------------------------

// With `ingredients` (the bare window with the manifest, the common controls,
// the child windows and the fonts any program of this shape has), goals 1 and
// 7 are given against it too: what Tolvi itself costs.
int Start(int runs, const std::wstring& tolvi, const std::wstring& bare, const std::wstring& ingredients = L"") {
  std::vector<double> times[3], memory[3];
  const std::wstring programs[3] = {tolvi, bare, ingredients};
  const int count = ingredients.empty() ? 2 : 3;
  for (int run = 0; run < runs; ++run) {
    for (int which = 0; which < count; ++which) {
      TChild child;
      const auto start = Clock::now();
      if (!child.Start(Quoted(programs[which]))) {
        std::printf("cannot start %ls\n", programs[which].c_str());
        return 1;
      }
      const HWND wnd = WaitForWindow(child, 20000);
      const auto shown = Clock::now();
      if (!wnd) {
        std::printf("no window from %ls\n", programs[which].c_str());
        return 1;
      }
      times[which].push_back(Ms(start, shown));
      ::Sleep(500);  // the first paints and the clock's first ticks
      memory[which].push_back(PrivateWorkingSet(child.Info.hProcess, programs[which]));
      ::PostMessageW(wnd, WM_CLOSE, 0, 0);
      child.End(10000);
    }
  }
  const double time = Median(times[0]) / Median(times[1]);
  const double mem = Median(memory[0]) / Median(memory[1]);
  std::printf("start: Tolvi %.1f ms, bare %.1f ms (medians of %d)\n", Median(times[0]), Median(times[1]), runs);
  std::printf("private working set: Tolvi %.2f MB, bare %.2f MB\n", Median(memory[0]) / 1e6, Median(memory[1]) / 1e6);
  char figure[64];
  std::snprintf(figure, sizeof figure, "%.2fx", time);
  Goal("1 start to main window", figure, time <= 1.2, "<= 1.2x");
  std::snprintf(figure, sizeof figure, "%.2fx", mem);
  Goal("7 private working set", figure, mem <= 1.5, "<= 1.5x");
  if (count == 3) {
    const double time2 = Median(times[0]) / Median(times[2]);
    const double mem2 = Median(memory[0]) / Median(memory[2]);
    std::printf("same ingredients: start %.1f ms, private working set %.2f MB\n", Median(times[2]),
                Median(memory[2]) / 1e6);
    std::snprintf(figure, sizeof figure, "%.2fx", time2);
    Goal("1 start to main window, against the same ingredients", figure, time2 <= 1.1, "<= 1.1x");
    std::snprintf(figure, sizeof figure, "%.2fx", mem2);
    Goal("7 private working set, against the same ingredients", figure, mem2 <= 1.1, "<= 1.1x");
  }
  return 0;
}

// The log-off request is read from Wine's relay trace of ExitWindowsEx
// (RelayInclude set by scripts/bench), which the child writes to the standard
// error it inherits from this process: scripts/bench sends it to the file
// `trace`. Its timestamps run on the same tick count as this process's. The
// end of the process is kept too: Wine's ExitWindowsEx returns at once and
// ends the session, whose end-session messages the program then answers.
int LogOff(int runs, const std::wstring& tolvi, const std::wstring& bare, const std::wstring& trace) {
  std::vector<double> request[2], end[2];
  const std::wstring lines[2] = {Quoted(tolvi) + L" /m:3 /no", Quoted(bare)};
  for (int run = 0; run < runs; ++run) {
    for (int which = 0; which < 2; ++which) {
      const size_t seen = ReadWholeFile(trace).size();
      ::SetEnvironmentVariableW(L"WINEDEBUG", L"+timestamp,+relay");
      TChild child;
      const ULONGLONG ticks = ::GetTickCount64();
      const auto start = Clock::now();
      const bool started = child.Start(lines[which]);
      ::SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
      if (!started) return 1;
      ::WaitForSingleObject(child.Info.hProcess, 20000);
      end[which].push_back(Ms(start, Clock::now()));
      child.End(0);
      ::Sleep(500);  // the end of the session that the request started
      const std::string text = ReadWholeFile(trace).substr(seen);
      const size_t call = text.find("Call user32.ExitWindowsEx(");
      if (call == std::string::npos) {
        std::printf("no ExitWindowsEx in the relay trace of %ls\n", lines[which].c_str());
        return 1;
      }
      const size_t newline = text.rfind('\n', call);
      const size_t lineStart = newline == std::string::npos ? 0 : newline + 1;
      request[which].push_back(std::atof(text.c_str() + lineStart) * 1000 - double(ticks));
    }
  }
  const double ratio = Median(request[0]) / Median(request[1]);
  std::printf("log-off request: Tolvi %.1f ms, bare %.1f ms; process end: Tolvi %.1f ms, bare %.1f ms (medians of %d)\n",
              Median(request[0]), Median(request[1]), Median(end[0]), Median(end[1]), runs);
  char figure[64];
  std::snprintf(figure, sizeof figure, "%.2fx", ratio);
  Goal("2 /m:3 /no to the log-off request", figure, ratio <= 1.2, "<= 1.2x");
  return 0;
}

// ---- pictures ------------------------------------------------------------------------

// Something like a photograph, as JPEG: smooth light, a few soft shapes and
// fine grain, at a camera's usual quality and 4:2:0 sampling.
std::string MakePhoto(int width, int height) {
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  uint32_t seed = kPhotoSeed;
  for (int y = 0; y < height; ++y) {
    PhotoRow(width, height, y, seed, row.data());
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  std::string jpeg(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return jpeg;
}

// A 24-bit bottom-up BMP of one colour ramp.
std::string MakeBmp(int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  std::string file(54 + static_cast<size_t>(stride) * height, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
  };
  file[0] = 'B', file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, width);
  put32(22, height);
  file[26] = 1, file[28] = 24;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t at = 54 + static_cast<size_t>(y) * stride + x * 3;
      file[at] = static_cast<char>(x), file[at + 1] = static_cast<char>(y), file[at + 2] = static_cast<char>(x + y);
    }
  return file;
}

bool WriteFile(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  ::CloseHandle(file);
  return ok;
}

String S16(const std::wstring& s) { return String(s.begin(), s.end()); }

int Picture(int runs, const std::wstring& tolvi, const std::wstring& folder) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring photo = folder + L"\\photo-6000x4000.jpg";
  if (::GetFileAttributesW(photo.c_str()) == INVALID_FILE_ATTRIBUTES && !WriteFile(photo, MakePhoto(6000, 4000)))
    return 1;
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN), screenHeight = ::GetSystemMetrics(SM_CYSCREEN);

  // The baseline: this file alone, decoded for the screen, in this process.
  std::vector<double> decode;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const TImage32 picture = DecodePictureFile(S16(photo), {screenWidth, screenHeight});
    decode.push_back(Ms(start, Clock::now()));
    if (picture.Empty()) return 1;
  }

  // Tolvi from the box's Yes to the picture window on the screen. The box
  // waits as long as a user takes to read it; the picture is then cancelled
  // with the right button, so nothing is carried out.
  std::vector<double> shown;
  for (int run = 0; run < runs; ++run) {
    TChild child;
    if (!child.Start(Quoted(tolvi) + L" /m:3 /t:30 /p:" + Quoted(photo))) return 1;
    const HWND box = WaitForWindow(child, 20000);
    if (!box) return 1;
    ::Sleep(2000);
    const auto yes = Clock::now();
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
    const HWND picture = WaitForWindow(child, 20000, [&](HWND wnd) {
      RECT r{};
      ::GetWindowRect(wnd, &r);
      return wnd != box && r.right - r.left == screenWidth && r.bottom - r.top == screenHeight;
    });
    if (!picture) {
      std::printf("no picture window\n");
      return 1;
    }
    shown.push_back(Ms(yes, Clock::now()));
    ::Sleep(200);
    const HWND view = ::GetWindow(picture, GW_CHILD);
    ::PostMessageW(view ? view : picture, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 100));
    child.End(10000);
  }
  const double ratio = Median(shown) / Median(decode);
  std::printf("picture: Yes to the window %.1f ms, the decode alone %.1f ms at %dx%d (medians of %d)\n", Median(shown),
              Median(decode), screenWidth, screenHeight, runs);
  char figure[64];
  std::snprintf(figure, sizeof figure, "%.2fx", ratio);
  Goal("4 Yes to the 24 MP picture", figure, ratio <= 0.2, "<= 0.2x");
  return 0;
}

// ---- a saved picture ---------------------------------------------------------------------

void AppendPng(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void FlushPng(png_structp) {}

bool WritePngRows(png_structp png, png_infop info, int width, int height, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

// The photo's light and shapes with seeded grain, as PNG: an export or a
// screenshot of that size, compressed as such files are.
std::string MakePng(int width, int height) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  uint32_t seed = 2024;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      const double fx = x / double(width), fy = y / double(height);
      const double r = 90 + 120 * fy, g = 140 + 60 * fx - 40 * fy, b = 220 - 150 * fy;
      unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<unsigned char>(std::clamp(int(r) + grain, 0, 255));
      p[1] = static_cast<unsigned char>(std::clamp(int(g) + grain, 0, 255));
      p[2] = static_cast<unsigned char>(std::clamp(int(b) + grain, 0, 255));
    }
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) rows[y] = &rgb[static_cast<size_t>(y) * width * 3];
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendPng, FlushPng);
  const bool written = WritePngRows(png, info, width, height, rows.data());
  png_destroy_write_struct(&png, &info);
  return written ? out : std::string();
}

// The settings file as the program writes it, naming `picture` (none when empty).
bool SaveSettings(const std::wstring& picture) {
  wchar_t appData[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH)) return false;
  std::wstring folder = std::wstring(appData) + L"\\Ordane";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\Quv";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring text =
      L"[Form]\r\nConfirm=0\r\n\r\n[Picture]\r\nFile=" + picture + L"\r\nTime=5\r\n\r\n";
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return WriteFile(folder + L"\\Tolvi.ini", bytes);
}

// `bare` is the bare window: run with and without one short thread, it gives
// what a thread costs the process by itself in this environment, which goal
// 10 is also given net of.
int Saved(int runs, const std::wstring& tolvi, const std::wstring& folder, const std::wstring& bare) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring png = folder + L"\\saved-6000x4000.png", jpeg = folder + L"\\saved-6000x4000.jpg";
  if (::GetFileAttributesW(png.c_str()) == INVALID_FILE_ATTRIBUTES && !WriteFile(png, MakePng(6000, 4000))) {
    std::printf("cannot write %ls\n", png.c_str());
    return 1;
  }
  if (::GetFileAttributesW(jpeg.c_str()) == INVALID_FILE_ATTRIBUTES && !WriteFile(jpeg, MakePhoto(6000, 4000))) {
    std::printf("cannot write %ls\n", jpeg.c_str());
    return 1;
  }
  const std::wstring saved[3] = {L"", png, jpeg};
  const char* names[3] = {"no picture", "24 MP PNG", "24 MP JPEG"};
  std::vector<double> times[3], memory[3], bareMemory[2];
  for (int run = 0; run < runs; ++run) {
    for (int withThread = 0; withThread < 2; ++withThread) {
      TChild child;
      if (!child.Start(Quoted(bare) + (withThread ? L" /thread" : L""))) {
        std::printf("cannot start %ls\n", bare.c_str());
        return 1;
      }
      const HWND wnd = WaitForWindow(child, 20000);
      if (!wnd) {
        std::printf("no window from %ls\n", bare.c_str());
        return 1;
      }
      ::Sleep(1000);
      bareMemory[withThread].push_back(PrivateWorkingSet(child.Info.hProcess, bare));
      ::PostMessageW(wnd, WM_CLOSE, 0, 0);
      child.End(10000);
    }
    for (int which = 0; which < 3; ++which) {
      if (!SaveSettings(saved[which])) {
        std::printf("cannot write the settings file\n");
        return 1;
      }
      TChild child;
      const auto start = Clock::now();
      if (!child.Start(Quoted(tolvi))) {
        std::printf("cannot start %ls\n", tolvi.c_str());
        return 1;
      }
      const HWND wnd = WaitForWindow(child, 20000);
      const auto shown = Clock::now();
      if (!wnd) {
        std::printf("no window from %ls\n", tolvi.c_str());
        return 1;
      }
      times[which].push_back(Ms(start, shown));
      ::Sleep(3000);  // the preview decoded and drawn, the clock ticking
      memory[which].push_back(PrivateWorkingSet(child.Info.hProcess, tolvi));
      ::PostMessageW(wnd, WM_CLOSE, 0, 0);
      child.End(10000);
    }
  }
  SaveSettings(L"");
  for (int which = 0; which < 3; ++which)
    std::printf("saved %s: start %.1f ms, private working set %.2f MB (medians of %d)\n", names[which],
                Median(times[which]), Median(memory[which]) / 1e6, runs);
  const double png9 = Median(times[1]) / Median(times[0]), jpeg9 = Median(times[2]) / Median(times[0]);
  const double png10 = Median(memory[1]) / Median(memory[0]), jpeg10 = Median(memory[2]) / Median(memory[0]);
  char figure[96];
  std::snprintf(figure, sizeof figure, "PNG %.2fx, JPEG %.2fx", png9, jpeg9);
  Goal("9 start with a saved picture", figure, png9 <= 1.05 && jpeg9 <= 1.05, "<= 1.05x each");
  std::snprintf(figure, sizeof figure, "PNG %.2fx, JPEG %.2fx", png10, jpeg10);
  Goal("10 private working set with a saved picture", figure, png10 <= 1.1 && jpeg10 <= 1.1, "<= 1.1x each");
  // The decode runs on a thread of its own, and a thread costs the process
  // memory whatever it does: under Wine about a megabyte, the pages of its
  // stack that Wine itself touches, kept after the thread has ended (Windows
  // gives a thread's stack back when it ends).
  const double thread = std::max(0.0, Median(bareMemory[1]) - Median(bareMemory[0]));
  std::printf("one short thread in the bare window: private working set %.2f MB against %.2f MB without\n",
              Median(bareMemory[1]) / 1e6, Median(bareMemory[0]) / 1e6);
  const double pngNet = (Median(memory[1]) - thread) / Median(memory[0]);
  const double jpegNet = (Median(memory[2]) - thread) / Median(memory[0]);
  std::snprintf(figure, sizeof figure, "PNG %.2fx, JPEG %.2fx (a thread costs %.2f MB here)", pngNet, jpegNet,
                thread / 1e6);
  Goal("10 private working set with a saved picture, net of what one thread costs any program", figure,
       pngNet <= 1.1 && jpegNet <= 1.1, "<= 1.1x each");
  return 0;
}

// ---- in this process: leaks and idle cost ----------------------------------------------

void Pump(TApplication& app, int ms = 0) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  do {
    app.ProcessMessages();
    if (ms) ::Sleep(5);
  } while (Clock::now() < until);
}

struct TCounts {
  double Gdi, User, PrivateBytes;
};

// Wine answers GetGuiResources with 0. Its handle tables take a handle whose
// upper word is 0 as any generation of that slot, so the live objects are
// counted by asking about every slot: GDI objects by their type, USER
// objects as this process's windows and the menus.
double GdiObjects() {
  if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return count;
  int count = 0;
  for (uintptr_t slot = 1; slot < 0x10000; ++slot)
    if (::GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++count;
  return count;
}

double UserObjects() {
  if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)) return count;
  int count = 0;
  for (uintptr_t slot = 0x20; slot < 0x10000; slot += 2) {
    const auto wnd = reinterpret_cast<HWND>(slot);
    DWORD pid = 0;
    if (::IsWindow(wnd) && ::GetWindowThreadProcessId(wnd, &pid) && pid == ::GetCurrentProcessId()) ++count;
    else if (::IsMenu(reinterpret_cast<HMENU>(slot))) ++count;
  }
  return count;
}

// Private bytes: the committed private memory of the process, region by
// region (what Windows reports as PrivateUsage, which Wine leaves at 0).
double PrivateBytes() {
  double bytes = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (auto* at = static_cast<char*>(nullptr); ::VirtualQuery(at, &info, sizeof info) == sizeof info;
       at = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) bytes += double(info.RegionSize);
    if (info.RegionSize == 0) break;
  }
  return bytes;
}

TCounts Counts() { return {GdiObjects(), UserObjects(), PrivateBytes()}; }

TTolviMainForm* ShowMainWindow(TApplication& app) {
  RunSettings = TRunSettings{};
  RunSettings.CommandLineGiven = true;  // the settings file stays out of it
  auto* form = new TTolviMainForm(&app);
  app.CreateForm(form);
  form->Show();
  Pump(app, 300);
  return form;
}

thread_local std::function<void()> tTick;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (tTick) tTick();
}

// One picture window shown modally and closed with the left button once it
// is active, as the user would.
void ShowPictureWindow(TApplication& app, const String& file) {
  auto* picture = new TDispImageForm(&app, file, 30);
  tTick = [picture, done = false]() mutable {
    if (done || !picture->Active()) return;
    done = true;
    ::PostMessageW(picture->Image1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  };
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, Tick);
  picture->ShowModal();  // the window then destroys itself
  ::KillTimer(nullptr, timer);
  tTick = nullptr;
  Pump(app, 50);
}

int Leaks(const std::wstring& folder) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring files[] = {folder + L"\\a-1600x1200.jpg", folder + L"\\b-640x480.bmp",
                                folder + L"\\c-1200x1600.jpg"};
  if (!WriteFile(files[0], MakePhoto(1600, 1200)) || !WriteFile(files[1], MakeBmp(640, 480)) ||
      !WriteFile(files[2], MakePhoto(1200, 1600)))
    return 1;
  // The counting itself is checked first: one brush or one window more must
  // show as one object more. The process's first window starts the display
  // side, which makes objects of its own: one is made and gone before.
  ::DestroyWindow(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
  const double gdi = GdiObjects(), user = UserObjects();
  const HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
  const HWND probe = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const double gdiMore = GdiObjects(), userMore = UserObjects();
  // (the first window of a thread brings its input-method window along)
  const bool countsWork = gdiMore == gdi + 1 && userMore >= user + 1;
  ::DestroyWindow(probe);
  ::DeleteObject(brush);
  if (!countsWork)
    std::printf("the GDI and USER counts do not see a new brush and window (GDI %.0f, %.0f; USER %.0f, %.0f)\n", gdi,
                gdiMore, user, userMore);

  TApplication app;
  app.SetTitle(u"Tolvi");
  TTolviMainForm* form = ShowMainWindow(app);

  // A picture, another, none: each of the preview's ways, changes in turn.
  auto change = [&](int i) {
    RunSettings.PictureFile = i % 4 == 3 ? String(u"C:\\no such picture.jpg") : S16(files[i % 3]);
    form->UpdatePicture();
    Pump(app);
  };
  // What is made once and kept (the first decode's buffers, the first
  // picture window's class) is made before counting.
  for (int i = 0; i < 8; ++i) change(i);
  ShowPictureWindow(app, S16(files[0]));
  Pump(app, 200);
  const TCounts before = Counts();
  for (int i = 0; i < 1000; ++i) change(i);
  Pump(app, 200);
  const TCounts afterPreview = Counts();
  for (int i = 0; i < 50; ++i) ShowPictureWindow(app, S16(files[i % 3]));
  Pump(app, 500);
  const TCounts after = Counts();

  std::printf("before: GDI %.0f, USER %.0f, private %.2f MB\n", before.Gdi, before.User, before.PrivateBytes / 1e6);
  std::printf("after 1000 preview changes: GDI %.0f, USER %.0f, private %.2f MB\n", afterPreview.Gdi,
              afterPreview.User, afterPreview.PrivateBytes / 1e6);
  std::printf("after 50 picture windows: GDI %.0f, USER %.0f, private %.2f MB\n", after.Gdi, after.User,
              after.PrivateBytes / 1e6);
  auto growth = [](double from, double to) { return from > 0 ? (to - from) / from : (to > 0 ? 1.0 : 0.0); };
  const double worst = std::max({growth(before.Gdi, afterPreview.Gdi), growth(before.User, afterPreview.User),
                                 growth(before.PrivateBytes, afterPreview.PrivateBytes), growth(before.Gdi, after.Gdi),
                                 growth(before.User, after.User), growth(before.PrivateBytes, after.PrivateBytes)});
  char figure[160];
  std::snprintf(figure, sizeof figure, "GDI %+.0f, USER %+.0f, private %+.1f%% (largest growth %+.1f%%)",
                after.Gdi - before.Gdi, after.User - before.User,
                100 * growth(before.PrivateBytes, after.PrivateBytes), 100 * worst);
  Goal("5 1000 previews, 50 picture windows", figure, countsWork && worst <= 0.02,
       "<= 2% growth");
  return 0;
}

// Paints and text changes of each window, seen by hooks on this thread:
// WM_PAINT as it is fetched, WM_SETTEXT as it is sent (Wine's static control
// paints its new text at once, without a WM_PAINT).
thread_local std::map<HWND, int>* tPaints = nullptr;
LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_PAINT && tPaints) ++(*tPaints)[msg->hwnd];
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
thread_local std::map<HWND, int>* tTexts = nullptr;
LRESULT CALLBACK CountTexts(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
  // A paint sent at once (UpdateWindow, RedrawWindow) counts as a paint too.
  if (code == HC_ACTION && (msg->message == WM_SETTEXT || msg->message == WM_PAINT) && tTexts) ++(*tTexts)[msg->hwnd];
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The CPU time of this whole process, every thread of it. Under Wine, the
// host's per-thread counters in nanoseconds (GetProcessTimes there moves in
// 10 ms steps); elsewhere, the process's times from the system.
double CpuSeconds() {
  static const std::wstring dir = [] {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return HostProcessDir(path);
  }();
  if (!dir.empty()) {
    double ns = 0;
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((dir + L"\\task\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (std::iswdigit(found.cFileName[0]))
          ns += std::atof(ReadWholeFile(dir + L"\\task\\" + found.cFileName + L"\\schedstat").c_str());
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
    if (ns > 0) return ns / 1e9;
  }
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](FILETIME t) { return (double(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}

int Idle(int seconds) {
  TApplication app;
  app.SetTitle(u"Tolvi");
  TTolviMainForm* form = ShowMainWindow(app);
  Pump(app, 2000);  // shown, painted, the clock ticking

  std::map<HWND, int> paints;
  tPaints = &paints;
  std::map<HWND, int> texts;
  tTexts = &texts;
  const HHOOK hook = ::SetWindowsHookExW(WH_GETMESSAGE, CountPaints, nullptr, ::GetCurrentThreadId());
  const HHOOK textHook = ::SetWindowsHookExW(WH_CALLWNDPROC, CountTexts, nullptr, ::GetCurrentThreadId());
  tTick = [&app] { app.Terminate(); };
  const UINT_PTR timer = ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, Tick);
  const double cpuBefore = CpuSeconds();
  const auto start = Clock::now();
  app.Run();
  const double wall = Ms(start, Clock::now()) / 1000;
  const double cpu = CpuSeconds() - cpuBefore;
  ::KillTimer(nullptr, timer);
  ::UnhookWindowsHookEx(hook);
  ::UnhookWindowsHookEx(textHook);
  tPaints = nullptr;
  tTexts = nullptr;

  // What one clock update costs alone, for the record.
  const double updateStart = CpuSeconds();
  for (int i = 0; i < 200; ++i) {
    form->TxtWinTime->SetCaption(u"0:00:" + IntToStr(10 + i % 50));
    app.ProcessMessages();
  }
  const double perUpdate = (CpuSeconds() - updateStart) / 200;
  std::printf("one clock update (the text set and painted): %.3f ms of CPU\n", perUpdate * 1000);

  const HWND clock = form->TxtWinTime->Handle();
  int clockPaints = 0, otherPaints = 0;
  for (const auto& [wnd, count] : paints) (wnd == clock ? clockPaints : otherPaints) += count;
  for (const auto& [wnd, count] : texts) (wnd == clock ? clockPaints : otherPaints) += count;
  const double percent = 100 * cpu / wall;
  std::printf("idle %.1f s: CPU %.2f ms (%.4f%% of one core); paints: the clock %d, other windows %d\n", wall, cpu * 1000,
              percent, clockPaints, otherPaints);

  // For comparison, in the same run: what the system itself costs for a
  // window whose only work is a one-second timer setting a static text.
  form->Hide();
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the end of the run above
  const HWND bare = ::CreateWindowExW(WS_EX_TOPMOST, L"Static", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 100, 342,
                                      299, nullptr, nullptr, nullptr, nullptr);
  static HWND tBareText;
  tBareText = ::CreateWindowExW(0, L"Static", L"0:00:00", WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_SUNKEN, 15, 185, 94, 26,
                                bare, nullptr, nullptr, nullptr);
  Pump(app, 500);
  const UINT_PTR bareTick = ::SetTimer(nullptr, 0, 1000, [](HWND, UINT, UINT_PTR, DWORD) {
    static int n = 0;
    wchar_t text[16];
    std::swprintf(text, 16, L"0:00:%02d", ++n % 60);
    ::SetWindowTextW(tBareText, text);
  });
  tTick = [] { ::PostQuitMessage(0); };
  const UINT_PTR bareEnd = ::SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, Tick);
  const double bareBefore = CpuSeconds();
  const auto bareStart = Clock::now();
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  const double bareCpu = CpuSeconds() - bareBefore;
  const double barePercent = 100 * bareCpu / (Ms(bareStart, Clock::now()) / 1000);
  ::KillTimer(nullptr, bareTick);
  ::KillTimer(nullptr, bareEnd);
  ::DestroyWindow(bare);
  std::printf("a bare window with the same one-second text: CPU %.2f ms (%.4f%% of one core)\n", bareCpu * 1000,
              barePercent);

  char figure[160];
  std::snprintf(figure, sizeof figure, "CPU %.3f%% (a bare window's timer: %.3f%%), clock paints %d/%.0f s, others %d",
                percent, barePercent, clockPaints, wall, otherPaints);
  Goal("6 idle main window", figure, percent <= 0.2 && otherPaints == 0 && clockPaints >= seconds - 2,
       "CPU <= 0.2%, only the clock repaints");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"start" && argc == 5) return Start(_wtoi(argv[2]), argv[3], argv[4]);
  if (command == L"start" && argc == 6) return Start(_wtoi(argv[2]), argv[3], argv[4], argv[5]);
  if (command == L"logoff" && argc == 6) return LogOff(_wtoi(argv[2]), argv[3], argv[4], argv[5]);
  if (command == L"picture" && argc == 5) return Picture(_wtoi(argv[2]), argv[3], argv[4]);
  if (command == L"leaks" && argc == 3) return Leaks(argv[2]);
  if (command == L"idle" && argc == 3) return Idle(_wtoi(argv[2]));
  if (command == L"saved" && argc == 6) return Saved(_wtoi(argv[2]), argv[3], argv[4], argv[5]);
  std::fprintf(stderr, "usage: win_bench start RUNS TOLVI BARE [INGREDIENTS] | logoff RUNS TOLVI BARE TRACE | picture RUNS TOLVI FOLDER | leaks FOLDER | "
                       "idle SECONDS | saved RUNS TOLVI FOLDER BARE\n");
  return 2;
}
