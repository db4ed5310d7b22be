#include "platform/win32/main_window.h"

static void* main_window = nullptr;

void* get_main_window() {
  return main_window;
}

void set_main_window(void* window) {
  main_window = window;
}
