#include "platform/win32/dynamic_library.h"

#include <dlfcn.h>

void* load_library(const char* file_name) {
  return file_name ? dlopen(file_name, RTLD_NOW | RTLD_LOCAL) : nullptr;
}

void* get_proc_address(void* library, const char* name) {
  return library && name ? dlsym(library, name) : nullptr;
}

bool free_library(void* library) {
  return library && dlclose(library) == 0;
}

const char* library_error() { return dlerror(); }
