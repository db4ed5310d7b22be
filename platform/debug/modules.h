#pragma once
// The process's loaded modules (the program and its shared libraries).
#include <cstddef>
#include <cstdint>

struct ModuleInfo {
  char path[260];     // full file name
  const char* name;   // the file name part of path
  uintptr_t base;     // lowest mapped address
  uint32_t size;      // bytes from base to the end of the last loaded segment
  uintptr_t bias;     // load bias: run-time address minus the file's virtual address
};

// Finds a module by name, compared case-insensitively with each module's full
// path and then with its file name; false when none matches.
bool find_module(const char* name, ModuleInfo* out);
// The module that holds `address`; false when none does.
bool find_module_at(uintptr_t address, ModuleInfo* out);
