#pragma once
// How much a pipe holds, without reading it (the module rebuild's output).
#include <cstdio>

// 0 for null; the bytes waiting in the pipe behind `file`, or 1 when it cannot be peeked.
int peek_pipe(FILE* file);
