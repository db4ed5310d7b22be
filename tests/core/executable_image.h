#pragma once
// The executable as the linker wrote it: its sections, its symbols and the bytes its
// globals hold before any code of the program runs.
#include <elf.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

class ExecutableImage {
 public:
  // False when the file is not a readable 64-bit ELF file.
  bool load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    bytes_ = s.str();
    Elf64_Ehdr header;
    if (bytes_.size() < sizeof(header) || memcmp(bytes_.data(), ELFMAG, SELFMAG) != 0)
      return false;
    memcpy(&header, bytes_.data(), sizeof(header));
    if (header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_shoff + (uint64_t)header.e_shnum * sizeof(Elf64_Shdr) > bytes_.size())
      return false;
    sections_.resize(header.e_shnum);
    memcpy(sections_.data(), bytes_.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
    for (const Elf64_Shdr& section : sections_) {
      if (section.sh_type != SHT_SYMTAB && section.sh_type != SHT_DYNSYM)
        continue;
      if (section.sh_link >= sections_.size() || section.sh_offset + section.sh_size > bytes_.size())
        return false;
      const Elf64_Shdr& strings = sections_[section.sh_link];
      for (uint64_t at = section.sh_offset; at + sizeof(Elf64_Sym) <= section.sh_offset + section.sh_size;
           at += sizeof(Elf64_Sym)) {
        Elf64_Sym symbol;
        memcpy(&symbol, bytes_.data() + at, sizeof(symbol));
        if (symbol.st_name >= strings.sh_size || symbol.st_shndx == SHN_UNDEF)
          continue;
        std::string name = bytes_.c_str() + strings.sh_offset + symbol.st_name;
        if (section.sh_type == SHT_DYNSYM)
          exported_.insert(name);
        else
          symbols_.emplace(name, symbol);
      }
    }
    return true;
  }

  const std::vector<Elf64_Shdr>& sections() const { return sections_; }
  const std::multimap<std::string, Elf64_Sym>& symbols() const { return symbols_; }
  const std::string& bytes() const { return bytes_; }
  bool exports(const std::string& name) const { return exported_.count(name) != 0; }

  // The bytes a global object of external linkage holds when the program is loaded:
  // its section's file image, or zeros in a section without one (.bss). Empty for an
  // unknown name.
  std::string initialBytes(const std::string& name) const {
    const Elf64_Sym* found = nullptr;
    auto [first, last] = symbols_.equal_range(name);
    for (auto it = first; it != last; ++it)
      if (ELF64_ST_TYPE(it->second.st_info) == STT_OBJECT && ELF64_ST_BIND(it->second.st_info) == STB_GLOBAL)
        found = &it->second;
    if (!found || found->st_shndx >= sections_.size())
      return {};
    const Elf64_Sym& symbol = *found;
    const Elf64_Shdr& section = sections_[symbol.st_shndx];
    if (section.sh_type == SHT_NOBITS)
      return std::string(symbol.st_size, '\0');
    uint64_t at = section.sh_offset + (symbol.st_value - section.sh_addr);
    if (at + symbol.st_size > bytes_.size())
      return {};
    return bytes_.substr(at, symbol.st_size);
  }

 private:
  std::string bytes_;
  std::vector<Elf64_Shdr> sections_;
  std::multimap<std::string, Elf64_Sym> symbols_;  // the full symbol table; local names repeat
  std::set<std::string> exported_;            // the dynamic symbol table's defined names
};
