// The order in which the executable constructs its global objects, file by file, read
// from its initialisation array: the order that engine/core/globals.cpp describes.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "executable_image.h"

namespace {

// The source files whose globals the executable constructs, in the order it runs
// their initialisers: each "_GLOBAL__sub_I_<file>" of .init_array. Empty when the
// file is not a readable 64-bit ELF executable.
std::vector<std::string> construction_order(const std::string& path) {
  std::vector<std::string> files;
  ExecutableImage image;
  if (!image.load(path))
    return files;
  const Elf64_Shdr* init_array = nullptr;
  for (const Elf64_Shdr& section : image.sections())
    if (section.sh_type == SHT_INIT_ARRAY)
      init_array = &section;
  if (!init_array)
    return files;
  std::map<uint64_t, std::string> functions;  // address -> name
  for (const auto& [name, symbol] : image.symbols())
    if (ELF64_ST_TYPE(symbol.st_info) == STT_FUNC)
      functions[symbol.st_value] = name;
  const char prefix[] = "_GLOBAL__sub_I_";
  const std::string& elf = image.bytes();
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
  std::vector<std::string> order = construction_order(std::string(TORVANE_TEST_BIN_DIR) + "/torvane");
  ASSERT_FALSE(order.empty()) << "no initialisers found in the executable";
  // One file of each run the comment names, in its order ("globals.cpp" is the
  // core's, then the script bridge's).
  const char* runs[] = {"profiler.cpp", "steam_api.cpp", "messages.cpp", "d3d9_context.cpp", "error_message.cpp",
                        "fatal.cpp", "globals.cpp", "log.cpp", "utils.cpp",
                        "d3d_shaders.cpp", "dynVBWriter.cpp", "gui_queue.cpp", "gui_style.cpp", "visual_log.cpp",
                        "globals.cpp", "coords.cpp", "level_tiles.cpp", "gameobj_rebuild.cpp", "objects.cpp",
                        "proximity.cpp", "audio_engine.cpp", "sound_events.cpp", "main_loop.cpp"};
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
