// Reads the program file's .symtab through a read-only mapping.
#include "platform/debug/symtab.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

std::atomic<bool> attempted{false};
const ElfW(Sym)* symbols = nullptr;
size_t symbol_count = 0;
const char* names = nullptr;
size_t names_size = 0;
uintptr_t load_bias = 0;

int find_bias(dl_phdr_info* info, size_t, void* data) {
  // The program itself comes first and has no name.
  *(uintptr_t*)data = info->dlpi_addr;
  return 1;
}

}  // namespace

void load_program_symbols() {
  if (attempted.exchange(true))
    return;
  int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat st;
  void* file = MAP_FAILED;
  if (fstat(fd, &st) == 0 && st.st_size > (off_t)sizeof(ElfW(Ehdr)))
    file = mmap(nullptr, (size_t)st.st_size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (file == MAP_FAILED)
    return;
  const char* base = (const char*)file;
  size_t file_size = (size_t)st.st_size;
  const ElfW(Ehdr)* eh = (const ElfW(Ehdr)*)base;
  if (memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_shoff == 0 ||
      eh->e_shoff + (size_t)eh->e_shnum * sizeof(ElfW(Shdr)) > file_size)
    return;
  const ElfW(Shdr)* sections = (const ElfW(Shdr)*)(base + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; i++) {
    const ElfW(Shdr)& sh = sections[i];
    if (sh.sh_type != SHT_SYMTAB || sh.sh_entsize != sizeof(ElfW(Sym)) || sh.sh_link >= eh->e_shnum)
      continue;
    const ElfW(Shdr)& str = sections[sh.sh_link];
    if (sh.sh_offset + sh.sh_size > file_size || str.sh_offset + str.sh_size > file_size)
      return;
    names = base + str.sh_offset;
    names_size = str.sh_size;
    symbol_count = sh.sh_size / sizeof(ElfW(Sym));
    uintptr_t bias = 0;
    dl_iterate_phdr(find_bias, &bias);
    load_bias = bias;
    symbols = (const ElfW(Sym)*)(base + sh.sh_offset);
    return;
  }
}

bool find_program_symbol(uintptr_t address, FoundSymbol* out) {
  if (!symbols)
    return false;
  uintptr_t a = address - load_bias;
  for (size_t i = 0; i < symbol_count; i++) {
    const ElfW(Sym)& s = symbols[i];
    if (ELF64_ST_TYPE(s.st_info) != STT_FUNC || s.st_value == 0 || s.st_name >= names_size)
      continue;
    if (a >= s.st_value && a < s.st_value + (s.st_size ? s.st_size : 1)) {
      out->name = names + s.st_name;
      out->address = s.st_value + load_bias;
      out->size = s.st_size;
      return true;
    }
  }
  return false;
}
