#pragma once
// Shared libraries loaded at run time (dlopen with RTLD_NOW | RTLD_LOCAL).

// Null for a null name or when the library cannot be loaded.
void* load_library(const char* file_name);
// Null for a null library or name, or when the symbol is absent.
void* get_proc_address(void* library, const char* name);
// False for null or when the library cannot be closed.
bool free_library(void* library);
// The dynamic loader's own text for the last of these calls that failed ("<file>:
// undefined symbol: <name>", ...), null when it gave none; reading it clears it.
const char* library_error();
