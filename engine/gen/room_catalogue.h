// The room templates' record values and statement texts, and the class-name table.
#pragma once

constexpr int ROOM_TEMPLATE_COUNT = 129;  // the root template "test" and the 128 rooms
constexpr int ROOM_CLASS_COUNT = 22;

struct RoomCatalogueEntry {
  const char* name;   // "_<line>_<file>_ls .<class>"
  int cellsWide, cellsHigh;
  int tilesWide, tilesHigh;
  int noMirror;
  const char* pattern;     // rows top first, separated by '/'; "" for none
  const char* statements;  // statement groups in running order, separated by ';'
};

// Entry 0 is the root template, entries 1..128 the rooms in table order.
extern const RoomCatalogueEntry room_catalogue[ROOM_TEMPLATE_COUNT];
extern const char* const level_template_classes[ROOM_CLASS_COUNT];
