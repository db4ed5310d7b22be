#include "engine/gen/room_templates.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/core/fatal.h"

const char* const level_template_classes[ROOM_CLASS_COUNT] = {
  "test", "rightEnd2", "leftEnd2", "subG2", "subA2", "zone2", "well2Top", "well2Mid",
  "well2Btm", "well2", "start2", "exit2", "boss2Lift", "boss2", "rightEnd1", "leftEnd1",
  "subG1", "subA1", "zone1", "start1", "exit1", "boss1",
};

// Compiled catalogue. Sizes are fixed by the catalogue (677 groups, 9,724 spots); the
// statement store has room to spare.
constexpr int MAX_GROUPS = 700;
constexpr int MAX_STATEMENTS = 1600;
constexpr int MAX_SPOTS = 9800;

static RoomGroup all_groups[MAX_GROUPS];
static RoomStatement all_statements[MAX_STATEMENTS];
static uint8_t all_spots[MAX_SPOTS * 2];
static int num_groups_used, num_statements_used, num_spots_used;
static RoomProgram programs[ROOM_TEMPLATE_COUNT];
static uint8_t patterns[ROOM_TEMPLATE_COUNT][12];
static int32_t class_ids[ROOM_TEMPLATE_COUNT][2];
static const LevelGenTemplate* class_members[ROOM_TEMPLATE_COUNT];
static TemplateList class_lists[ROOM_CLASS_COUNT];
static bool templates_ready;

LevelGenTemplate level_templates[ROOM_TEMPLATE_COUNT - 1];
LevelGenTemplate level_test_template;

static void run_room_template(int index, int x, int y, bool mirrored);

template <int I>
static void room_function(int x, int y, bool mirrored) { run_room_template(I, x, y, mirrored); }

template <size_t... I>
static constexpr auto make_room_functions(std::index_sequence<I...>) {
  struct Table { LevelGenTemplateFunc f[sizeof...(I)]; };
  return Table{{&room_function<int(I)>...}};
}
static constexpr auto room_functions = make_room_functions(std::make_index_sequence<ROOM_TEMPLATE_COUNT>());

const LevelGenTemplate& catalogue_template(int i) {
  return i == 0 ? level_test_template : level_templates[i - 1];
}

const RoomProgram& room_program(int i) {
  init_room_templates();
  ASSERT(i>=0 && i<ROOM_TEMPLATE_COUNT);
  return programs[i];
}

int find_template_class(const char* name) {
  for (int i = 0; i < ROOM_CLASS_COUNT; i++)
    if (!strcmp(level_template_classes[i], name))
      return i;
  return -1;
}

TemplateList templates_of_class(int class_id) {
  init_room_templates();
  ASSERT(class_id>=0 && class_id<ROOM_CLASS_COUNT);
  return class_lists[class_id];
}

// ---- statement text -------------------------------------------------------------

struct Cursor {
  const char* p;
  const char* end;
  bool eat(const char* word) {
    size_t n = strlen(word);
    if (size_t(end - p) >= n && !memcmp(p, word, n)) {
      p += n;
      return true;
    }
    return false;
  }
  bool number(int& out) {
    if (p >= end || *p < '0' || *p > '9')
      return false;
    out = 0;
    while (p < end && *p >= '0' && *p <= '9')
      out = out * 10 + (*p++ - '0');
    return true;
  }
  bool word(char* buf, int size) {
    int n = 0;
    while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9'))) {
      if (n + 1 >= size)
        return false;
      buf[n++] = *p++;
    }
    buf[n] = 0;
    return n > 0;
  }
};

[[noreturn]] static void catalogue_error(const RoomCatalogueEntry& e, const char* what) {
  fatal("room template %s: bad statement text (%s): %s", e.name, what, e.statements);
}

static RoomStatement& new_statement(const RoomCatalogueEntry& e) {
  if (num_statements_used >= MAX_STATEMENTS)
    catalogue_error(e, "too many statements");
  return all_statements[num_statements_used++];
}

// One statement: a tile set, "list k", "hero", "exit from s" or "enemies KxM".
static void parse_statement(const RoomCatalogueEntry& e, Cursor& c) {
  RoomStatement& st = new_statement(e);
  st.a = st.b = 0;
  int k, m;
  char name[32];
  if (c.eat("list ")) {
    if (!c.number(k) || k >= NUM_COORD_LISTS)
      catalogue_error(e, "list number");
    st.op = ST_LIST;
    st.a = int16_t(k);
  } else if (c.eat("hero")) {
    st.op = ST_HERO;
  } else if (c.eat("exit from ")) {
    if (!c.word(name, sizeof(name)) || (k = find_tile_set(name)) < 0)
      catalogue_error(e, "exit tile set");
    st.op = ST_EXIT;
    st.a = int16_t(k);
  } else if (c.eat("enemies ")) {
    if (!c.number(k) || !c.eat("x") || !c.number(m))
      catalogue_error(e, "enemies");
    st.op = ST_ENEMIES;
    st.a = int16_t(k);
    st.b = int16_t(m);
  } else {
    if (!c.word(name, sizeof(name)) || (k = find_tile_set(name)) < 0)
      catalogue_error(e, "tile set");
    st.op = ST_TILES;
    st.a = int16_t(k);
  }
}

// Statements separated by ", "; returns how many.
static int parse_statements(const RoomCatalogueEntry& e, Cursor& c) {
  int n = 0;
  for (;;) {
    parse_statement(e, c);
    n++;
    if (!c.eat(", "))
      break;
  }
  return n;
}

static void parse_alternative(const RoomCatalogueEntry& e, Cursor& c, int& first, int& count) {
  first = num_statements_used;
  count = 0;
  if (c.eat("-"))
    return;
  count = parse_statements(e, c);
}

static void parse_group(const RoomCatalogueEntry& e, Cursor c, RoomGroup& g) {
  g = RoomGroup{};
  int n;
  if (c.eat("each [")) {
    if (!c.number(n) || !c.eat("]: "))
      catalogue_error(e, "each");
    g.numSpots = n;
    char name[32];
    if (c.eat("sub ")) {
      if (!c.word(name, sizeof(name)) || (g.subClass = find_template_class(name)) < 0)
        catalogue_error(e, "sub-piece class");
      g.kind = GROUP_SUB;
    } else {
      if (c.eat("10/11? "))
        g.threshold = 0xE8BA2E8Cu;
      else if (c.eat("1/2? "))
        g.threshold = 0x80000000u;
      else
        catalogue_error(e, "chance");
      g.kind = GROUP_CHANCE;
      parse_alternative(e, c, g.first, g.count);
      if (!c.eat(" else "))
        catalogue_error(e, "else");
      parse_alternative(e, c, g.altFirst, g.altCount);
    }
  } else {
    g.kind = GROUP_PLAIN;
    g.first = num_statements_used;
    g.count = parse_statements(e, c);
    if (!c.eat(" [") || !c.number(n) || !c.eat("]"))
      catalogue_error(e, "spot count");
    g.numSpots = n;
  }
  if (c.p != c.end)
    catalogue_error(e, "trailing text");
}

static void parse_catalogue_entry(int index) {
  const RoomCatalogueEntry& e = room_catalogue[index];
  RoomProgram& prog = programs[index];
  prog.groups = &all_groups[num_groups_used];
  prog.statements = all_statements;
  prog.numGroups = 0;
  const char* p = e.statements;
  for (;;) {
    const char* semi = strchr(p, ';');
    const char* end = semi ? semi : p + strlen(p);
    if (num_groups_used >= MAX_GROUPS)
      catalogue_error(e, "too many groups");
    parse_group(e, Cursor{p, end}, all_groups[num_groups_used++]);
    prog.numGroups++;
    if (!semi)
      break;
    p = semi + 1;
    while (*p == ' ')
      p++;
  }
}

// ---- pictures -------------------------------------------------------------------

static char picture_error[256];

static const char* picture_fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
static const char* picture_fail(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vsnprintf(picture_error, sizeof(picture_error), fmt, args);
  va_end(args);
  return picture_error;
}

// Reads one line of `text` into [line, line_end); returns the start of the next.
static const char* next_line(const char* text, const char*& line_end) {
  const char* nl = strchr(text, '\n');
  line_end = nl ? nl : text + strlen(text);
  const char* e = line_end;
  while (e > text && (e[-1] == '\r' || e[-1] == ' '))
    e--;
  line_end = e;
  return nl ? nl + 1 : text + strlen(text);
}

// Checks a picture and, when `store` is set, writes each group's spots into the shared
// spot store. Spots are listed from the top row down, left to right within a row.
static const char* read_picture(int index, const char* picture, bool store) {
  const RoomCatalogueEntry& e = room_catalogue[index];
  const RoomProgram& prog = programs[index];
  const char* end;
  const char* p = next_line(picture, end);
  if (strncmp(picture, "keys: ", 6) != 0)
    return picture_fail("%s: picture has no \"keys:\" line", e.name);
  const char* keys = picture + 6;
  int num_keys = int(end - keys);
  if (num_keys != prog.numGroups)
    return picture_fail("%s: %d keys for %d statement groups", e.name, num_keys, prog.numGroups);
  for (int i = 0; i < num_keys; i++)
    if (keys[i] == '.' || memchr(keys, keys[i], size_t(i)))
      return picture_fail("%s: key '%c' is used twice or is '.'", e.name, keys[i]);

  const char* rows[64];
  int num_rows = 0;
  while (*p) {
    const char* row = p;
    p = next_line(p, end);
    if (end == row)
      continue;
    if (num_rows >= e.tilesHigh)
      return picture_fail("%s: more than %d rows", e.name, e.tilesHigh);
    if (end - row != e.tilesWide)
      return picture_fail("%s: row %d is %d wide, expected %d", e.name, num_rows, int(end - row), e.tilesWide);
    rows[num_rows++] = row;
  }
  if (num_rows != e.tilesHigh)
    return picture_fail("%s: %d rows, expected %d", e.name, num_rows, e.tilesHigh);

  int counts[64] = {};
  int empty = 0;
  for (int r = 0; r < num_rows; r++)
    for (int c = 0; c < e.tilesWide; c++) {
      char ch = rows[r][c];
      if (ch == '.') {
        empty++;
        continue;
      }
      const char* k = (const char*)memchr(keys, ch, size_t(num_keys));
      if (!k)
        return picture_fail("%s: character '%c' at row %d column %d is not a key", e.name, ch, r, c);
      counts[k - keys]++;
    }
  int total = 0;
  for (int g = 0; g < prog.numGroups; g++) {
    if (counts[g] != prog.groups[g].numSpots)
      return picture_fail("%s: key '%c' marks %d spots, statement group %d has %d", e.name, keys[g],
                          counts[g], g + 1, prog.groups[g].numSpots);
    total += counts[g];
  }
  if (total + empty != e.tilesWide * e.tilesHigh)
    return picture_fail("%s: spots do not cover the picture", e.name);
  if (!store)
    return nullptr;

  if (num_spots_used + total > MAX_SPOTS)
    return picture_fail("%s: spot store full", e.name);
  for (int g = 0; g < prog.numGroups; g++) {
    RoomGroup& group = const_cast<RoomGroup&>(prog.groups[g]);
    uint8_t* out = &all_spots[2 * num_spots_used];
    group.key = keys[g];
    group.spots = out;
    for (int r = 0; r < num_rows; r++)
      for (int c = 0; c < e.tilesWide; c++)
        if (rows[r][c] == keys[g]) {
          *out++ = uint8_t(c);
          *out++ = uint8_t(e.tilesHigh - 1 - r);
        }
    num_spots_used += group.numSpots;
  }
  return nullptr;
}

static int find_catalogue_entry(const char* name, size_t len) {
  for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++)
    if (strlen(room_catalogue[i].name) == len && !memcmp(room_catalogue[i].name, name, len))
      return i;
  return -1;
}

const char* check_room_picture(int index, const char* picture) {
  init_room_templates();
  ASSERT(index>=0 && index<ROOM_TEMPLATE_COUNT);
  return read_picture(index, picture, false);
}

// Picture files: blocks that start with "== <template name>", then the "keys:" line and
// the rows; lines starting with '#' are comments.
static void read_picture_file(const char* text, bool* seen) {
  static char block[8192];
  const char* p = text;
  while (*p) {
    const char* end;
    const char* line = p;
    p = next_line(p, end);
    if (end == line || line[0] == '#')
      continue;
    if (strncmp(line, "== ", 3) != 0)
      fatal("room pictures: unexpected line \"%.*s\"", int(end - line), line);
    int index = find_catalogue_entry(line + 3, size_t(end - line - 3));
    if (index < 0)
      fatal("room pictures: unknown template \"%.*s\"", int(end - line - 3), line + 3);
    if (seen[index])
      fatal("room pictures: template %s drawn twice", room_catalogue[index].name);
    seen[index] = true;
    size_t n = 0;
    while (*p && strncmp(p, "== ", 3) != 0) {
      const char* l = p;
      p = next_line(p, end);
      if (l[0] == '#')
        continue;
      size_t len = size_t(end - l);
      if (n + len + 2 > sizeof(block))
        fatal("room pictures: template %s is too large", room_catalogue[index].name);
      memcpy(block + n, l, len);
      n += len;
      block[n++] = '\n';
    }
    block[n] = 0;
    if (const char* err = read_picture(index, block, true))
      fatal("room pictures: %s", err);
  }
}

static void parse_pattern(int index) {
  const RoomCatalogueEntry& e = room_catalogue[index];
  int n = 0;
  for (const char* p = e.pattern; *p; p++)
    if (*p != '/') {
      ASSERT(n < 12);
      patterns[index][n++] = uint8_t(*p - '0');
    }
  if (n != e.cellsWide * e.cellsHigh)
    fatal("room template %s: pattern has %d cells, expected %d", e.name, n, e.cellsWide * e.cellsHigh);
}

static int class_of(const char* name) {
  const char* dot = strrchr(name, '.');
  int id = dot ? find_template_class(dot + 1) : -1;
  if (id < 0)
    fatal("room template %s: unknown class", name);
  return id;
}

void init_room_templates() {
  if (templates_ready)
    return;
  templates_ready = true;
  for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++) {
    parse_catalogue_entry(i);
    const RoomCatalogueEntry& e = room_catalogue[i];
    LevelGenTemplate& t = const_cast<LevelGenTemplate&>(catalogue_template(i));
    bool has_pattern = e.pattern[0] != 0;
    if (has_pattern)
      parse_pattern(i);
    class_ids[i][0] = class_of(e.name);
    class_ids[i][1] = -1;
    t = LevelGenTemplate{room_functions.f[i], e.cellsWide, e.cellsHigh, e.tilesWide, e.tilesHigh,
                         has_pattern ? patterns[i] : nullptr, e.name, class_ids[i], e.noMirror};
  }
  bool seen[ROOM_TEMPLATE_COUNT] = {};
  for (int f = 0; f < room_picture_text_count; f++)
    read_picture_file(room_picture_texts[f], seen);
  for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++)
    if (!seen[i])
      fatal("room pictures: template %s has no picture", room_catalogue[i].name);

  // Class lists in table order (the root template belongs to class "test" alone).
  int n = 0;
  for (int cls = 0; cls < ROOM_CLASS_COUNT; cls++) {
    class_lists[cls].items = &class_members[n];
    for (int i = 0; i < ROOM_TEMPLATE_COUNT; i++)
      if (class_ids[i][0] == cls)
        class_members[n++] = &catalogue_template(i);
    class_lists[cls].count = int(&class_members[n] - class_lists[cls].items);
  }
}

// ---- running a template ----------------------------------------------------------

static void run_statements(const RoomStatement* st, int count, const ILevelGenCoords& spots) {
  for (int i = 0; i < count; i++, st++)
    switch (st->op) {
      case ST_TILES: place_random_tiles(tile_sets[st->a], spots); break;
      case ST_LIST: add_coords(level_coord_lists[st->a], spots); break;
      case ST_EXIT: choose_exit(tile_sets[st->a], spots); break;
      case ST_HERO: place_hero_start(spots); break;
      case ST_ENEMIES: add_enemies_at_random_coords(st->a, st->b, spots); break;
    }
}

static void run_room_template(int index, int x, int y, bool mirrored) {
  const RoomProgram& prog = programs[index];
  int mirror_width = mirrored ? room_catalogue[index].tilesWide : 0;
  for (int g = 0; g < prog.numGroups; g++) {
    const RoomGroup& group = prog.groups[g];
    LevelGenCoordList spots(group.spots, group.numSpots, x, y, mirror_width);
    if (group.kind == GROUP_PLAIN) {
      run_statements(&prog.statements[group.first], group.count, spots);
      continue;
    }
    for (int i = 0; i < group.numSpots; i++) {
      LevelGenSingleCoord spot(spots, i);
      if (group.kind == GROUP_SUB) {
        const TemplateList& list = class_lists[group.subClass];
        place_template_at_random_coord(pick_random(list.items, list.count), spot);
      } else if (gen_draw() < group.threshold) {
        run_statements(&prog.statements[group.first], group.count, spot);
      } else {
        run_statements(&prog.statements[group.altFirst], group.altCount, spot);
      }
    }
  }
}
