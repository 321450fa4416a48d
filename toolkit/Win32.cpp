#include "toolkit/Win32.h"

#include <algorithm>
#include <new>

bool ReadWholeFile(const String& fileName, uint64_t maxSize, std::string& bytes, uint32_t& error) {
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

String SysErrorMessage(uint32_t error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  String result = n ? S(text, n) : String();
  if (text) ::LocalFree(text);
  return result;
}
