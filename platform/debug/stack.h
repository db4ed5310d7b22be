#pragma once
// Call stacks for the log: capture return addresses and format them with module
// and symbol names.

// The most frames a captured stack holds.
const int max_stack_frames = 32;

// Stores up to `max` return addresses of the calling thread, omitting the
// capturing routine and then `skip` more frames; returns the count.
int capture_stack(void** addresses, int max, int skip);

// "Call stack (%d frames):\n" and one line per address: address, module, symbol
// name with displacement and size, or " --unknown--". The text lives in one
// static buffer of 8192 bytes, overwritten by every call.
const char* format_stack(void* const* addresses, int count);
