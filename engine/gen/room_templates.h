// Room templates: the template records, their pick lists, and the functions that carry
// out each template's statement groups over the spots of its picture.
#pragma once

#include <cstdint>

#include "engine/gen/gen_runtime.h"
#include "engine/gen/room_catalogue.h"

// The 128 room records in table order; the root record "test"; the composition record
// "Level".
extern LevelGenTemplate level_templates[ROOM_TEMPLATE_COUNT - 1];
extern LevelGenTemplate level_test_template;
extern LevelGenTemplate level_root_template;

// The records of one class in table order.
struct TemplateList {
  const LevelGenTemplate* const* items;
  int count;
};
TemplateList templates_of_class(int class_id);
int find_template_class(const char* name);

// Parses the catalogue and the pictures once; fatal on any mismatch between them.
void init_room_templates();

// The compiled form of one template, for tools and tests.
enum RoomStatementOp : uint8_t { ST_TILES, ST_LIST, ST_EXIT, ST_HERO, ST_ENEMIES };
struct RoomStatement {
  uint8_t op;
  int16_t a, b;  // tile set / list / kind; enemy count
};
enum RoomGroupKind : uint8_t { GROUP_PLAIN, GROUP_SUB, GROUP_CHANCE };
struct RoomGroup {
  RoomGroupKind kind;
  char key;           // the group's character in the picture
  int numSpots;
  const uint8_t* spots;  // numSpots pairs (dx, dy)
  int first, count;      // statements (the first alternative for a chance)
  int altFirst, altCount;  // the second alternative of a chance
  uint32_t threshold;      // chance: the first alternative runs below it
  int subClass;            // sub-piece class
};
struct RoomProgram {
  const RoomGroup* groups;
  int numGroups;
  const RoomStatement* statements;  // indexed by RoomGroup::first / altFirst
};
// Index 0: the root template; 1..128: level_templates[0..127].
const RoomProgram& room_program(int catalogue_index);
const LevelGenTemplate& catalogue_template(int catalogue_index);

// Checks one picture (the "keys:" line and the rows, as in the picture files) against
// catalogue entry `catalogue_index`: returns null when it fits, else the reason. Used by
// the loader (where a mismatch is fatal) and by tests and tools.
const char* check_room_picture(int catalogue_index, const char* picture);

// The embedded picture files (generated at build time from data/rooms/).
extern const char* const room_picture_texts[];
extern const int room_picture_text_count;
