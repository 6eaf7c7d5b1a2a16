// The control of the DLL probe: a program that loads the rich edit's DLL by name with the
// default search order, which looks beside the program first.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HMODULE module = ::LoadLibraryW(L"msftedit.dll");
  if (module != nullptr) ::FreeLibrary(module);
  return 0;
}
