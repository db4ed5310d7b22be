// A heap of bounded size for the VM, as under a memory limit: a script that fills it meets
// "out of memory" errors instead of the machine's own limit. Blocks are counted by their
// real size, whatever size the library says. One budget at a time, for the whole process.
#pragma once
#include <stddef.h>

// Routes the VM's allocations through a fresh budget of the given bytes (call before sq_open).
void bounded_heap_init(size_t budget);
// Gives the VM back the plain allocator (call after sq_close).
void bounded_heap_close();
