// Call stacks: capture through the unwinder, names through the dynamic symbol
// tables (dladdr) and the C++ demangler.
#include "platform/debug/stack.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug/modules.h"
#include "platform/debug/symtab.h"

namespace {

// Appends printf-style pieces to a fixed buffer and never writes past it. A piece
// that does not fit with its terminator ends the text there; later pieces are
// dropped.
struct TextBuilder {
  char* pos;
  int left;

  TextBuilder(char* buffer, int size) : pos(buffer), left(size) {
    if (size > 0)
      buffer[0] = 0;
  }

  void append(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
    if (left <= 0)
      return;
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(pos, (size_t)left, fmt, args);
    va_end(args);
    if (n >= 0 && n < left) {
      pos += n;
      left -= n;
    } else {
      pos[left - 1] = 0;
      pos += left - 1;
      left = 0;
    }
  }
};

char stack_text[8192];

// The dynamic symbol table first, then the program's full one for functions
// with internal linkage.
bool find_symbol(uintptr_t address, FoundSymbol* found) {
  Dl_info info = {};
  const ElfW(Sym)* sym = nullptr;
  if (dladdr1((void*)address, &info, (void**)&sym, RTLD_DL_SYMENT) && info.dli_sname && info.dli_saddr) {
    *found = {info.dli_sname, (uintptr_t)info.dli_saddr, sym ? (uint64_t)sym->st_size : 0};
    return true;
  }
  return find_program_symbol(address, found);
}

}  // namespace

__attribute__((noinline)) int capture_stack(void** addresses, int max, int skip) {
  void* frames[max_stack_frames + 64];
  int total = backtrace(frames, (int)(sizeof(frames) / sizeof(frames[0])));
  // Start at the caller's frame: past this routine's own frame (and any frames
  // an instrumented backtrace adds), then `skip` more.
  void* caller = __builtin_return_address(0);
  int first = 1;
  for (int i = 0; i < total; i++) {
    if (frames[i] == caller) {
      first = i;
      break;
    }
  }
  first += skip > 0 ? skip : 0;
  int n = 0;
  for (int i = first; i < total && n < max; i++)
    addresses[n++] = frames[i];
  return n;
}

const char* format_stack(void* const* addresses, int count) {
  load_program_symbols();
  if (count > max_stack_frames)
    count = max_stack_frames;
  TextBuilder text(stack_text, sizeof(stack_text));
  text.append("Call stack (%d frames):\n", count);
  for (int i = 0; i < count; i++) {
    void* address = addresses[i];
    text.append("  %p", address);
    // A return address points after its call, which may be past the end of a
    // function that never returns: look up the byte before it. The address of
    // a fault is the instruction itself, perhaps a function's first: when the
    // byte before belongs to no function, look up the address as it is.
    uintptr_t a = (uintptr_t)address;
    ModuleInfo module;
    bool in_module = a && find_module_at(a - 1, &module);
    if (!in_module)
      in_module = a && find_module_at(a, &module);
    if (in_module)
      text.append(" %s!", module.name);
    FoundSymbol found = {};
    if (in_module && !find_symbol(a - 1, &found))
      find_symbol(a, &found);

    if (found.name) {
      int status = -1;
      char* demangled = abi::__cxa_demangle(found.name, nullptr, nullptr, &status);
      const char* name = status == 0 && demangled ? demangled : found.name;
      text.append(" %.256s  +%u/%u", name, (unsigned)((uintptr_t)address - found.address), (unsigned)found.size);
      free(demangled);
    } else {
      text.append(" --unknown--");
    }
    text.append("\n");
  }
  return stack_text;
}
