// The real platform of the exit sequence and the picture window.
#include "forms/FormsApi.h"

#include <algorithm>
#include <new>

#include "toolkit/Dialogs.h"
#include "toolkit/Forms.h"
#include "toolkit/Win32.h"

namespace {

struct WindowsFormsApi final : FormsApi {
  uint32_t GetFileAttributesW(const String& fileName) override { return ::GetFileAttributesW(W(fileName)); }
  uint32_t GetLastError() override { return ::GetLastError(); }
  uintptr_t FindFirstFileW(const String& fileName, TFindData& data) override {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(W(fileName), &found);
    if (search != INVALID_HANDLE_VALUE) {
      data.FileAttributes = found.dwFileAttributes;
      data.FileName = S(found.cFileName);
    }
    return reinterpret_cast<uintptr_t>(search);
  }
  int32_t FindClose(uintptr_t findFile) override { return ::FindClose(reinterpret_cast<HANDLE>(findFile)); }
  bool ReadFileBytes(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) override {
    TFileHandle file(::CreateFileW(W(fileName), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return error = ::GetLastError(), false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) return error = ::GetLastError(), false;
    if (static_cast<uint64_t>(size.QuadPart) > maxSize) return error = ERROR_FILE_TOO_LARGE, false;
    try {
      bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      return error = ERROR_NOT_ENOUGH_MEMORY, false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD read = 0;
      if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &read, nullptr)) return error = ::GetLastError(), false;
      if (read == 0) break;  // the file became shorter meanwhile
      done += read;
    }
    bytes.resize(done);
    return true;
  }
  String SysErrorMessage(uint32_t error) override {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    String result = n ? S(text, n) : String();
    if (text) ::LocalFree(text);
    return result;
  }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

  uintptr_t FindWindowW(const String& className, const char16_t* windowName) override {
    return reinterpret_cast<uintptr_t>(
        ::FindWindowW(W(className), windowName ? reinterpret_cast<const wchar_t*>(windowName) : nullptr));
  }
  int32_t ShowWindow(uintptr_t wnd, int32_t cmdShow) override {
    return ::ShowWindow(reinterpret_cast<HWND>(wnd), cmdShow);
  }
  int32_t GetSystemMetrics(int32_t index) override { return ::GetSystemMetrics(index); }
  int32_t MessageBoxW(const String& text, const String& caption, uint32_t type) override {
    if (Application) return Application->MessageBox(text, caption, type);
    return ::MessageBoxW(nullptr, W(text), W(caption), type);
  }
  int32_t MessageBoxW(const String& text, const String& caption, uint32_t type, const TBoxSetup& setup) override {
    TMsgBoxOptions options;
    for (const TBoxButton& button : setup.Buttons) options.Buttons.push_back({button.Id, button.Caption});
    options.EscapeResult = setup.EscapeResult;
    options.CenterOnScreen = setup.CenterOnScreen;
    return MessageBoxWithOptions(Application ? Application->ActiveWindow() : nullptr, text, caption, type, options);
  }
};

}  // namespace

FormsApi& RealFormsPlatform() {
  static WindowsFormsApi api;
  return api;
}
