#pragma once
// The program's own full symbol table (.symtab), for functions that the dynamic
// symbol table does not list (internal linkage: static functions, anonymous
// namespaces).
#include <cstdint>

struct FoundSymbol {
  const char* name;   // raw (mangled) name
  uintptr_t address;  // the symbol's run-time address
  uint64_t size;
};

// Maps the program's file and reads its symbol table; later calls do nothing.
void load_program_symbols();
// The function symbol of the program that holds `address`; false when none does.
bool find_program_symbol(uintptr_t address, FoundSymbol* out);
