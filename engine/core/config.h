#pragma once
// ConfigNode: a tree of named nodes, each holding ordered key/value text entries
// and ordered child nodes, read from and written to a nested text format:
//
//   key=value              an entry; the value runs to the end of the line
//   name {                 a block; its items follow on the next lines
//     ...
//   }
//   // comment
//
// Keys, names and values may stand between double or single quotes with
// backslash escapes (\r \n \t \0, and \ before any other character gives that
// character). The writer quotes every text that would not read back as it
// stands, so a saved tree always loads back unchanged.
#include "engine/core/dynarray.h"
#include "engine/core/strings.h"

class OutputStream;

// Blocks nest at most this deep; a deeper file is refused rather than risking
// the stack of the recursive reader.
constexpr int CONFIG_MAX_DEPTH = 64;

struct ConfigEntry {
  String key;
  String value;
};

class ConfigNode {
 public:
  explicit ConfigNode(const char* name = nullptr);
  // Deep copy; the copy has no parent.
  ConfigNode(const ConfigNode& other);
  ConfigNode& operator=(const ConfigNode&) = delete;
  ~ConfigNode();

  // Appends an entry; the value runs to valueEnd (null: to its terminator).
  void addEntry(const char* key, const char* value, const char* valueEnd = nullptr);
  // Replaces the value of the first entry with the key, or appends one.
  void setStr(const char* key, const char* value, const char* valueEnd = nullptr);
  void setInt(const char* key, int value);
  // Index of the first entry at or after start with this key (byte-exact); -1 when none.
  int findEntry(const char* key, int start = 0) const;
  bool hasValue(const char* key) const;
  // The first value with the key ("" when it is empty); def when there is none.
  const char* getStr(const char* key, const char* def) const;
  // Base detection as strtol (decimal, 0x hexadecimal, leading-zero octal); def
  // when missing or without digits.
  int getInt(const char* key, int def) const;
  double getFloat(const char* key, double def) const;

  int findNode(const char* name, int start = 0) const;
  ConfigNode* getNode(const char* name, int start = 0) const;
  ConfigNode* getOrAddNode(const char* name);
  // Inserts a new child at `at` (negative: append) and returns it.
  ConfigNode* addNode(const char* name, int at = -1);
  // Deletes the child at index; an index out of range does nothing.
  void removeNode(int index);
  // Deletes all children and entries and empties the name.
  void clear();

  // Reads the text format into this node, appending. Returns the bytes consumed
  // (up to an unmatched "}" or the end), or -1 when blocks nest deeper than
  // CONFIG_MAX_DEPTH: then the error is logged and nothing is appended.
  int parse(const char* text, int len);
  // Reads a virtual-file-system file into this node, appending; false when it
  // cannot be read or nests too deep (logged, naming the file; nothing appended).
  bool load(const char* path);
  // A new unnamed node filled by load, or null; the caller owns it.
  static ConfigNode* fromFile(const char* path);
  // This node's entries, then its children, at the given depth (2 spaces each);
  // the node's own name is not written. Throws OutputStream::Exception.
  void write(OutputStream& out, int depth) const;
  // Writes the header and the tree into `path` (relative to the write folder)
  // through a temporary file renamed over the old one, so a failed save leaves
  // the previous file intact. False when it fails or the tree nests deeper than
  // CONFIG_MAX_DEPTH (logged).
  bool save(const char* path) const;

  String name;
  DynArray<ConfigEntry> entries;
  DynArray<ConfigNode*> children;
  ConfigNode* parent = nullptr;
};
