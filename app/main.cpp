#include <windows.h>

#include "operations/load_entries.h"
#include "verbs/registry_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
