/* Loads each library named on its command line the plain way
 * (LoadLibraryW, the standard search, which starts with the program's own
 * folder) and prints "NAME loaded" or "NAME missing". The planted-library
 * scenarios run it first, beside the planted files, to show that the set-up
 * does make Wine take a file found beside a program. */
#include <stdio.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    HMODULE lib = LoadLibraryW(argv[i]);
    wprintf(L"%ls %ls\n", argv[i], lib ? L"loaded" : L"missing");
  }
  return 0;
}
