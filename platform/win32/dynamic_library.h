#pragma once
// Shared libraries loaded at run time (dlopen with RTLD_NOW | RTLD_LOCAL).

// Null for a null name or when the library cannot be loaded.
void* load_library(const char* file_name);
// Null for a null library or name, or when the symbol is absent.
void* get_proc_address(void* library, const char* name);
// False for null or when the library cannot be closed.
bool free_library(void* library);
