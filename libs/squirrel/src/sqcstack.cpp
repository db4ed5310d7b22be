#include "sqcstack.h"
#include <pthread.h>
#include <stdint.h>

// The lowest address this thread may reach before recursion must stop: 0 until first
// asked, 1 (no limit) when the thread's bounds cannot be read.
static thread_local uintptr_t t_lowest = 0;

static uintptr_t find_lowest() {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 1;
  void* addr = nullptr;
  size_t size = 0;
  int rc = pthread_attr_getstack(&attr, &addr, &size);
  pthread_attr_destroy(&attr);
  if (rc != 0 || !addr || size == 0) return 1;
  // keep an eighth of the stack, at least 256 KiB, for reporting the error and unwinding
  size_t margin = size / 8;
  if (margin < 256 * 1024) margin = 256 * 1024;
  if (margin >= size) margin = size / 2;
  return (uintptr_t)addr + margin;
}

bool sq_c_stack_low() {
  if (!t_lowest) t_lowest = find_lowest();
  char here;
  return (uintptr_t)&here < t_lowest;
}
