#pragma once
// The dynamic symbol table of a program or library, as `nm -D` lists it, for the
// tests of what the game exports and what the module takes from it.
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

struct DynamicSymbol {
  std::string type;  // nm's letter: "U", "T", "w", ...
  std::string name;  // as listed: a versioned name keeps its "@..." suffix
};

// The symbols `nm -D <options> <file>` lists; none when nm cannot run.
inline std::vector<DynamicSymbol> nm_dynamic_symbols(const std::string& file, const std::string& options) {
  std::vector<DynamicSymbol> symbols;
  FILE* p = popen(("nm -D " + options + " '" + file + "'").c_str(), "r");
  if (!p)
    return symbols;
  char line[1024];
  while (fgets(line, sizeof(line), p)) {
    std::istringstream in(line);
    std::string a, b, c;
    in >> a >> b >> c;
    // Undefined names come as "type name", defined ones as "address type name".
    DynamicSymbol s{c.empty() ? a : b, c.empty() ? b : c};
    if (!s.name.empty())
      symbols.push_back(s);
  }
  pclose(p);
  return symbols;
}
