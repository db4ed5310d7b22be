#pragma once
// Full symbol tables (.symtab) of loaded modules, for functions that the dynamic
// symbol tables do not list (internal linkage: static functions, anonymous
// namespaces). The program's own table is read on first use; other modules'
// tables are read when they are registered (symhlp_load) and dropped when they
// are unregistered (symhlp_unload).
#include <cstdint>

struct FoundSymbol {
  const char* name;   // raw (mangled) name
  uintptr_t address;  // the symbol's run-time address
  uint64_t size;
};

// Reads the program's own table; later calls do nothing.
void load_program_symbols();
// Reads the table of the module file `path` mapped at [base, base + size) with
// load bias `bias`; true when the file has one.
bool load_module_symbols(const char* path, uintptr_t bias, uintptr_t base, uint64_t size);
// Drops the table of the module mapped at `base`.
void unload_module_symbols(uintptr_t base);
// The function symbol of a registered module that holds `address`.
bool find_program_symbol(uintptr_t address, FoundSymbol* out);
