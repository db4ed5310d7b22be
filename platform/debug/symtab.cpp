// Reads modules' .symtab sections through read-only mappings of their files.
#include "platform/debug/symtab.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "platform/debug/modules.h"

namespace {

struct SymbolTable {
  bool used;
  uintptr_t base, end, bias;
  void* mapping;
  size_t mapping_size;
  const ElfW(Sym)* symbols;
  size_t count;
  const char* names;
  size_t names_size;
};

// A few modules at most: the program and the game-object module (old and new
// while it is swapped).
const int max_tables = 8;
SymbolTable tables[max_tables];
std::atomic<bool> program_attempted{false};

bool read_table(const char* path, SymbolTable* t) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat st;
  void* file = MAP_FAILED;
  if (fstat(fd, &st) == 0 && st.st_size > (off_t)sizeof(ElfW(Ehdr)))
    file = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (file == MAP_FAILED)
    return false;
  const char* base = (const char*)file;
  size_t file_size = (size_t)st.st_size;
  const ElfW(Ehdr)* eh = (const ElfW(Ehdr)*)base;
  if (memcmp(eh->e_ident, ELFMAG, SELFMAG) == 0 && eh->e_shoff != 0 &&
      eh->e_shoff + (size_t)eh->e_shnum * sizeof(ElfW(Shdr)) <= file_size) {
    const ElfW(Shdr)* sections = (const ElfW(Shdr)*)(base + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; i++) {
      const ElfW(Shdr)& sh = sections[i];
      if (sh.sh_type != SHT_SYMTAB || sh.sh_entsize != sizeof(ElfW(Sym)) || sh.sh_link >= eh->e_shnum)
        continue;
      const ElfW(Shdr)& str = sections[sh.sh_link];
      if (sh.sh_offset + sh.sh_size > file_size || str.sh_offset + str.sh_size > file_size)
        break;
      t->mapping = file;
      t->mapping_size = file_size;
      t->symbols = (const ElfW(Sym)*)(base + sh.sh_offset);
      t->count = sh.sh_size / sizeof(ElfW(Sym));
      t->names = base + str.sh_offset;
      t->names_size = str.sh_size;
      return true;
    }
  }
  munmap(file, file_size);
  return false;
}

}  // namespace

bool load_module_symbols(const char* path, uintptr_t bias, uintptr_t base, uint64_t size) {
  // A module stays at its address until it is unregistered.
  for (const SymbolTable& t : tables) {
    if (t.used && t.base == base)
      return true;
  }
  for (SymbolTable& t : tables) {
    if (t.used)
      continue;
    SymbolTable loaded = {};
    if (!read_table(path, &loaded))
      return false;
    loaded.base = base;
    loaded.end = base + size;
    loaded.bias = bias;
    loaded.used = true;
    t = loaded;
    return true;
  }
  return false;
}

void unload_module_symbols(uintptr_t base) {
  for (SymbolTable& t : tables) {
    if (t.used && t.base == base) {
      t.used = false;
      munmap(t.mapping, t.mapping_size);
    }
  }
}

void load_program_symbols() {
  if (program_attempted.exchange(true))
    return;
  ModuleInfo program;
  char exe[260];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  if (n <= 0)
    return;
  exe[n] = 0;
  if (find_module(exe, &program))
    load_module_symbols("/proc/self/exe", program.bias, program.base, program.size);
}

bool find_program_symbol(uintptr_t address, FoundSymbol* out) {
  for (const SymbolTable& t : tables) {
    if (!t.used || address < t.base || address >= t.end)
      continue;
    uintptr_t a = address - t.bias;
    for (size_t i = 0; i < t.count; i++) {
      const ElfW(Sym)& s = t.symbols[i];
      if (ELF64_ST_TYPE(s.st_info) != STT_FUNC || s.st_value == 0 || s.st_name >= t.names_size)
        continue;
      if (a >= s.st_value && a < s.st_value + (s.st_size ? s.st_size : 1)) {
        out->name = t.names + s.st_name;
        out->address = s.st_value + t.bias;
        out->size = s.st_size;
        return true;
      }
    }
  }
  return false;
}
