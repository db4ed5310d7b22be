#include "bounded_heap.h"
#include "squirrel.h"
#include <malloc.h>
#include <stdlib.h>

namespace {
size_t g_budget = 0;
size_t g_used = 0;

void* budget_malloc(SQUnsignedInteger size) {
  if (g_used + size > g_budget) return nullptr;
  void* p = malloc(size);
  if (p) g_used += malloc_usable_size(p);
  return p;
}
void* budget_realloc(void* p, SQUnsignedInteger, SQUnsignedInteger size) {
  size_t old = p ? malloc_usable_size(p) : 0;
  if (size > old && g_used + (size - old) > g_budget) return nullptr;
  void* q = realloc(p, size);
  if (q) g_used = g_used - old + malloc_usable_size(q);
  return q;
}
void budget_free(void* p, SQUnsignedInteger) {
  if (p) g_used -= malloc_usable_size(p);
  free(p);
}
}  // namespace

void bounded_heap_init(size_t budget) {
  g_budget = budget;
  g_used = 0;
  sq_setallocator(budget_malloc, budget_realloc, budget_free);
}

void bounded_heap_close() { sq_setallocator(nullptr, nullptr, nullptr); }
