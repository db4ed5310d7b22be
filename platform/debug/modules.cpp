// Module list through dl_iterate_phdr.
#include "platform/debug/modules.h"

#include <link.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

struct Search {
  const char* name;       // by name, or
  uintptr_t address;      // by address when name is null
  bool by_file_name;      // second pass: compare the file name part
  ModuleInfo* out;
  bool found;
};

void describe(dl_phdr_info* info, ModuleInfo* m) {
  const char* path = info->dlpi_name;
  if (!path || !path[0]) {
    // The program itself is listed without a name.
    ssize_t n = readlink("/proc/self/exe", m->path, sizeof(m->path) - 1);
    m->path[n > 0 ? n : 0] = 0;
  } else {
    snprintf(m->path, sizeof(m->path), "%s", path);
  }
  const char* slash = strrchr(m->path, '/');
  m->name = slash ? slash + 1 : m->path;
  uintptr_t lo = UINTPTR_MAX, hi = 0;
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD)
      continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    if (start < lo)
      lo = start;
    if (start + ph.p_memsz > hi)
      hi = start + ph.p_memsz;
  }
  m->bias = info->dlpi_addr;
  m->base = lo == UINTPTR_MAX ? info->dlpi_addr : lo;
  m->size = hi > m->base ? (uint32_t)(hi - m->base) : 0;
}

int visit(dl_phdr_info* info, size_t, void* data) {
  Search* s = (Search*)data;
  ModuleInfo m;
  describe(info, &m);
  bool match;
  if (s->name)
    match = !strcasecmp(s->by_file_name ? m.name : m.path, s->name);
  else
    match = s->address >= m.base && s->address < m.base + m.size;
  if (!match)
    return 0;
  *s->out = m;
  s->out->name = s->out->path + (m.name - m.path);
  s->found = true;
  return 1;
}

}  // namespace

bool find_module(const char* name, ModuleInfo* out) {
  if (!name || !name[0])
    return false;
  for (bool by_file_name : {false, true}) {
    Search s{name, 0, by_file_name, out, false};
    dl_iterate_phdr(visit, &s);
    if (s.found)
      return true;
  }
  return false;
}

bool find_module_at(uintptr_t address, ModuleInfo* out) {
  Search s{nullptr, address, false, out, false};
  dl_iterate_phdr(visit, &s);
  return s.found;
}
