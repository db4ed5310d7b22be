// The order in which the executable constructs its global objects, file by file, read
// from its initialisation array: the order that engine/core/globals.cpp describes.
#include <elf.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string read_binary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The source files whose globals the executable constructs, in the order it runs
// their initialisers: each "_GLOBAL__sub_I_<file>" of .init_array. Empty when the
// file is not a readable 64-bit ELF executable.
std::vector<std::string> construction_order(const std::string& elf) {
  std::vector<std::string> files;
  if (elf.size() < sizeof(Elf64_Ehdr) || memcmp(elf.data(), ELFMAG, SELFMAG) != 0)
    return files;
  Elf64_Ehdr header;
  memcpy(&header, elf.data(), sizeof(header));
  if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shoff + (uint64_t)header.e_shnum * sizeof(Elf64_Shdr) > elf.size())
    return files;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  memcpy(sections.data(), elf.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
  const Elf64_Shdr* init_array = nullptr;
  std::map<uint64_t, std::string> functions;  // address -> name, from the symbol table
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type == SHT_INIT_ARRAY)
      init_array = &section;
    if (section.sh_type != SHT_SYMTAB || section.sh_link >= sections.size())
      continue;
    const Elf64_Shdr& strings = sections[section.sh_link];
    for (uint64_t at = section.sh_offset; at + sizeof(Elf64_Sym) <= section.sh_offset + section.sh_size;
         at += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      memcpy(&symbol, elf.data() + at, sizeof(symbol));
      if (ELF64_ST_TYPE(symbol.st_info) == STT_FUNC && symbol.st_name < strings.sh_size)
        functions[symbol.st_value] = elf.c_str() + strings.sh_offset + symbol.st_name;
    }
  }
  if (!init_array)
    return files;
  const char prefix[] = "_GLOBAL__sub_I_";
  for (uint64_t at = init_array->sh_offset; at + 8 <= init_array->sh_offset + init_array->sh_size; at += 8) {
    uint64_t address;
    memcpy(&address, elf.data() + at, 8);  // the link writes the address beside its relocation
    auto it = functions.find(address);
    if (it == functions.end() || it->second.rfind(prefix, 0) != 0)
      continue;
    std::string file = it->second.substr(sizeof(prefix) - 1);
    if (!file.empty() && !isdigit((unsigned char)file[0]))  // prioritised ones (sanitizers) run apart
      files.push_back(file);
  }
  return files;
}

}  // namespace

TEST(GlobalsOrder, FilesAreConstructedInLinkOrder) {
  std::vector<std::string> order = construction_order(read_binary(std::string(TORVANE_TEST_BIN_DIR) + "/torvane"));
  ASSERT_FALSE(order.empty()) << "no initialisers found in the executable";
  // One file of each run the comment names, in its order ("globals.cpp" is the
  // core's, then the script bridge's).
  const char* runs[] = {"profiler.cpp",    "messages.cpp",  "d3d9_context.cpp", "steam_api.cpp",
                        "fatal.cpp",       "globals.cpp",   "log.cpp",          "utils.cpp",
                        "globals.cpp",     "coords.cpp",    "level_tiles.cpp",  "gameobj_rebuild.cpp",
                        "objects.cpp",     "proximity.cpp", "d3d_shaders.cpp",  "dynVBWriter.cpp",
                        "gui_queue.cpp",   "gui_style.cpp", "visual_log.cpp",   "audio_engine.cpp",
                        "sound_events.cpp", "main_loop.cpp"};
  std::string listed;
  for (const std::string& file : order)
    listed += file + " ";
  size_t next = 0;
  for (const char* run : runs) {
    while (next < order.size() && order[next] != run)
      next++;
    ASSERT_LT(next, order.size()) << run << " is not constructed after the runs before it: " << listed;
    next++;
  }
}
