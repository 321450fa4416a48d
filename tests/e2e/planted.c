/* A library planted beside a program, as a drive-by download or another
 * tool might leave one: when any process loads it, it writes a marker file
 * beside itself ("<its own path>.loaded", holding the loading program's
 * path). The scenarios copy it under the names of system libraries. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 16], program[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    DWORD m = GetModuleFileNameW(NULL, program, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcpyW(path + n, L".loaded");
      HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (f != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(f, program, m * sizeof(wchar_t), &written, NULL);
        CloseHandle(f);
      }
    }
  }
  return TRUE;
}
