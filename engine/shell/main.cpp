// The process entry: the command line for load_settings, then WinMain.
#include "engine/shell/shell.h"

int main(int argc, char** argv) {
  set_command_line(argc, argv);
  return WinMain((HINSTANCE)GetModuleHandleA(nullptr), nullptr, (LPSTR) "", SW_SHOWNORMAL);
}
