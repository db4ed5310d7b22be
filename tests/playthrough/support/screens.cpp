#include "screens.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <sstream>

#include "engine/gui/dist_font.h"
#include "engine/gui/dist_layout.h"
#include "engine/gui/gui_event.h"
#include "engine/gui/gui_screen.h"
#include "engine/script/game_script.h"
#include "gameobj/ui.h"

namespace play {

namespace {

Rect rect_of(const GuiElement* e) { return Rect{v_x(e->rect), v_y(e->rect), v_z(e->rect), v_w(e->rect)}; }

// table[key] as text or number; the stack is left as it was.
bool read_field(HSQUIRRELVM vm, const HSQOBJECT& table, const char* key, std::string* text, float* number) {
  SQInteger top = sq_gettop(vm);
  sq_pushobject(vm, table);
  sq_pushstring(vm, key, -1);
  bool ok = SQ_SUCCEEDED(sq_get(vm, -2));
  if (ok && text) {
    const SQChar* s = nullptr;
    ok = SQ_SUCCEEDED(sq_getstring(vm, -1, &s));
    if (ok)
      *text = s;
  } else if (ok && number) {
    SQFloat f = 0;
    ok = SQ_SUCCEEDED(sq_getfloat(vm, -1, &f));
    if (ok)
      *number = f;
  }
  sq_settop(vm, top);
  return ok;
}

}  // namespace

bool read_menu_layout(MenuLayout& out) {
  out = MenuLayout();
  if (!cur_game_screen || !cur_game_screen->root || cur_game_screen->root->children.isEmpty())
    return false;
  GuiElement* panel = cur_game_screen->root->children[0];
  out.panel = rect_of(panel);
  out.scale = panel->scale;
  NewGuiEventHandler* button = get_behavior("button");
  for (int i = 0; i < panel->children.size(); i++) {
    GuiElement* c = panel->children[i];
    (button && c->hasBehavior(button) ? out.buttons : out.others).push_back(rect_of(c));
  }
  return true;
}

int centre_x(const Rect& r) { return int((r[0] + r[2]) * 0.5f); }
int centre_y(const Rect& r) { return int((r[1] + r[3]) * 0.5f); }

std::vector<UpgradeNode> read_upgrade_tree() {
  std::vector<UpgradeNode> out;
  sqbind::SqObject tree = get_upgrade_tree();
  HSQUIRRELVM vm = get_world_script_vm();
  if (!vm || tree.obj._type != OT_ARRAY)
    return out;
  SQInteger top = sq_gettop(vm);
  sq_pushobject(vm, tree.obj);
  sq_pushnull(vm);
  while (SQ_SUCCEEDED(sq_next(vm, -2))) {
    HSQOBJECT node;
    sq_getstackobj(vm, -1, &node);
    UpgradeNode n;
    float cost = 0;
    read_field(vm, node, "name", &n.name, nullptr);
    read_field(vm, node, "title", &n.title, nullptr);
    read_field(vm, node, "state", &n.state, nullptr);
    read_field(vm, node, "cost", nullptr, &cost);
    n.cost = int(cost);
    out.push_back(n);
    sq_pop(vm, 2);
  }
  sq_settop(vm, top);
  return out;
}

bool near_colour(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
      return false;
  return true;
}

int count_colour(const Picture& p, const Rect& r, uint32_t colour, int tolerance) {
  int x0 = std::max(0, int(std::floor(r[0]))), y0 = std::max(0, int(std::floor(r[1])));
  int x1 = std::min(p.width, int(std::ceil(r[2]))), y1 = std::min(p.height, int(std::ceil(r[3])));
  int n = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++)
      n += near_colour(p.at(x, y), colour & 0xFFFFFF, tolerance);
  return n;
}

int count_colour_around(const Picture& p, const Rect& r, float gap, float width, uint32_t colour, int tolerance,
                        bool left) {
  Rect inner{r[0] - gap, r[1] - gap, r[2] + gap, r[3] + gap};
  Rect outer{left ? inner[0] - width : inner[0], inner[1] - width, inner[2] + width, inner[3] + width};
  return count_colour(p, outer, colour, tolerance) - count_colour(p, inner, colour, tolerance);
}

Rect text_ink_box(const char* font_file, const char* text, const Rect& rect, int flags, float size) {
  DistFont font;
  if (!font.load(font_file) || font.size <= 0)
    return Rect{0, 0, 0, 0};
  // renderText's placement: centred lines when the horizontal alignment is 0.
  float scale = size / float(font.size);
  TextPlacement t = place_text(font, v_make(rect[0], rect[1], rect[2], rect[3]), flags, scale, (flags & 3) == 0,
                               text, -1);
  __m128 box = v_add(v_scale(t.box, scale), v_make(t.x, t.y, t.x, t.y));
  return Rect{v_x(box), v_y(box), v_z(box), v_w(box)};
}

double changed_share(const Picture& a, const Picture& b, const Rect& r) {
  int changed = 0, all = 0;
  for (int y = std::max(0, int(r[1])); y < std::min(a.height, int(r[3])); y++)
    for (int x = std::max(0, int(r[0])); x < std::min(a.width, int(r[2])); x++, all++)
      changed += !near_colour(a.at(x, y), b.at(x, y), 24);
  return all ? double(changed) / all : 1.0;
}

int banner_ink(const Picture& p) {
  Rect top{float(p.width / 4), 0, float(p.width * 3 / 4), float(p.height / 6)};
  return count_colour(p, top, 0xFFEE00, 40);
}

void keep_picture(const Picture& p, const std::string& stem) {
  std::string to = p.path.substr(0, p.path.rfind('/') + 1) + stem + ".png";
  std::error_code ec;
  std::filesystem::copy_file(p.path, to, std::filesystem::copy_options::overwrite_existing, ec);
  printf("picture: %s\n", to.c_str());
}

// ---- what the screens show -----------------------------------------------------------

namespace {

constexpr int TEXT_TOLERANCE = 40;  // the fonts' edges blend into what is behind
constexpr float WIDE = 4000;        // the width of a rectangle that centres a line of text

std::string rect_text(const Rect& r) {
  std::ostringstream out;
  out << "(" << r[0] << ", " << r[1] << ", " << r[2] << ", " << r[3] << ")";
  return out.str();
}

// The health bar, as the HUD lays it out for a screen of this height.
struct HealthBar {
  float s, x, y, w, h;
  explicit HealthBar(int screen_height) {
    s = float(gui_layout_scale(screen_height));
    x = 6 * s + 17 * s, y = 6 * s + 4 * s, w = 68 * s, h = 8 * s;
  }
  float inner() const { return w - 2 * s; }
  float mid() const { return y + h * 0.5f; }
};

uint32_t health_colour(float fraction) { return fraction < 0.3f ? 0xFF0044 : (fraction < 0.6f ? 0xFEAE34 : 0x63C74D); }

}  // namespace

TextSpot text_spot(const char* font_file, const char* text, const Rect& rect, int flags, float size,
                   uint32_t colour, bool icon_left) {
  return TextSpot{text, text_ink_box(font_file, text, rect, flags, size), colour & 0xFFFFFF, icon_left};
}

TextSpot panel_title_text(const MenuLayout& m, const char* title) {
  float s = float(m.scale);
  float cx = (m.panel[0] + m.panel[2]) * 0.5f;
  float top = m.panel[1] + 6 * s;
  return text_spot("fonts/bold.fnt", title, Rect{cx - WIDE, top, cx + WIDE, top + 14 * s}, TEXT_TOP, 14 * s,
                   ui_color::TITLE);
}

std::vector<TextSpot> title_screen_texts(const MenuLayout& m) {
  std::vector<TextSpot> texts{panel_title_text(m, "TORVANE!")};
  float s = float(m.scale);
  if (!m.others.empty()) {
    const Rect& line = m.others[0];
    float size = (line[3] - line[1]) - 4 * s;  // a label is its text's size and 4 units high
    float y = (line[1] + line[3]) * 0.5f - size * 0.5f;
    float lx = (line[0] + line[2]) * 0.5f;
    texts.push_back(text_spot("fonts/regular.fnt", "an elevator to the top", Rect{lx - WIDE, y, lx + WIDE, y + size},
                              TEXT_TOP, size, ui_color::DIM));
  }
  const char* items[3] = {"New game", "Controls", "Quit"};
  for (size_t i = 0; i < 3 && i < m.buttons.size(); i++) {
    const Rect& b = m.buttons[i];
    float ts = 8 * s, ty = (b[1] + b[3]) * 0.5f - ts * 0.5f;
    float tx = b[0] + 6 * s + ts * 1.4f;  // after the item's icon
    texts.push_back(text_spot("fonts/regular.fnt", items[i], Rect{tx, ty, tx + WIDE, ty + ts}, TEXT_LEFT | TEXT_TOP,
                              ts, ui_color::TEXT, true));
  }
  return texts;
}

namespace {

// A button's text at `size` units after its icon (when it has one), and its detail
// right-aligned at its right edge, as the menus draw them.
TextSpot button_text(const Rect& b, float s, float size, bool icon, const std::string& text, uint32_t colour) {
  float ts = size * s, ty = (b[1] + b[3]) * 0.5f - ts * 0.5f;
  float tx = b[0] + 6 * s + (icon ? ts * 1.4f : 0);
  return text_spot("fonts/regular.fnt", text.c_str(), Rect{tx, ty, tx + WIDE, ty + ts}, TEXT_LEFT | TEXT_TOP, ts,
                   colour, icon);
}
TextSpot button_detail(const Rect& b, float s, float size, const std::string& text, uint32_t colour) {
  float ts = size * s, ty = (b[1] + b[3]) * 0.5f - ts * 0.5f, right = b[2] - 6 * s;
  return text_spot("fonts/bold.fnt", text.c_str(), Rect{right - WIDE, ty, right, ty + ts}, TEXT_RIGHT | TEXT_TOP,
                   ts, colour);
}

}  // namespace

std::vector<TextSpot> upgrade_node_texts(const MenuLayout& m, const std::vector<UpgradeNode>& tree, int points) {
  std::vector<TextSpot> texts;
  float s = float(m.scale);
  for (size_t i = 0; i < tree.size() && i + 1 < m.buttons.size(); i++) {
    const UpgradeNode& n = tree[i];
    if (n.state == "owned")
      continue;  // no price
    bool affordable = n.cost <= points;
    const Rect& b = m.buttons[i + 1];
    texts.push_back(button_text(b, s, 7, true, n.title, affordable ? ui_color::TEXT : ui_color::DIM));
    texts.push_back(button_detail(b, s, 7, std::to_string(n.cost), affordable ? ui_color::TEXT : ui_color::WARN));
  }
  return texts;
}

std::vector<TextSpot> controls_key_texts(const MenuLayout& m, const std::vector<std::string>& names,
                                         const std::vector<std::string>& keys) {
  std::vector<TextSpot> texts;
  float s = float(m.scale);
  for (size_t i = 0; i < names.size() && i + 1 < m.others.size(); i++) {
    texts.push_back(button_text(m.others[i + 1], s, 8, false, names[i], ui_color::TEXT));
    texts.push_back(button_detail(m.others[i + 1], s, 8, keys[i], ui_color::TEXT));
  }
  return texts;
}

TextSpot controls_hint_text(const MenuLayout& m, const char* text, uint32_t colour) {
  if (m.others.empty())
    return TextSpot{text, Rect{}, colour & 0xFFFFFF};
  float s = float(m.scale);
  const Rect& line = m.others[0];
  float size = (line[3] - line[1]) - 4 * s;  // a label is its text's size and 4 units high
  float y = (line[1] + line[3]) * 0.5f - size * 0.5f, x = (line[0] + line[2]) * 0.5f;
  return text_spot("fonts/regular.fnt", text, Rect{x - WIDE, y, x + WIDE, y + size}, TEXT_TOP, size, colour);
}

std::string text_spot_line(const TextSpot& t) {
  std::ostringstream out;
  out << std::hex << t.colour << std::dec << ' ' << t.iconLeft;
  for (float v : t.box)
    out << ' ' << v;
  out << ' ' << t.text;
  return out.str();
}

bool parse_text_spot(const std::string& line, TextSpot& out) {
  std::istringstream in(line);
  in >> std::hex >> out.colour >> std::dec >> out.iconLeft;
  for (float& v : out.box)
    in >> v;
  in.get();
  std::getline(in, out.text);
  return !in.fail() && !out.text.empty();
}

::testing::AssertionResult text_shows(const Picture& shot, const TextSpot& t) {
  float area = (t.box[2] - t.box[0]) * (t.box[3] - t.box[1]);
  if (area <= 0)
    return ::testing::AssertionFailure() << "'" << t.text << "' has no box";
  int inside = count_colour(shot, t.box, t.colour, TEXT_TOLERANCE);
  int around = count_colour_around(shot, t.box, 2, 3, t.colour, TEXT_TOLERANCE, !t.iconLeft);
  if (inside <= area * 0.08f)
    return ::testing::AssertionFailure() << "'" << t.text << "' has " << inside << " pixels of ink in its box "
                                         << rect_text(t.box) << " of " << shot.path;
  if (around != 0)
    return ::testing::AssertionFailure() << "'" << t.text << "' has " << around << " pixels of ink around its box "
                                         << rect_text(t.box) << " in " << shot.path;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult texts_show(const Picture& shot, const std::vector<TextSpot>& texts) {
  for (const TextSpot& t : texts) {
    ::testing::AssertionResult shown = text_shows(shot, t);
    if (!shown)
      return shown;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult text_gone(const Picture& shot, const TextSpot& t) {
  float area = (t.box[2] - t.box[0]) * (t.box[3] - t.box[1]);
  int ink = count_colour(shot, t.box, t.colour, TEXT_TOLERANCE);
  if (area <= 0 || ink > area * 0.02f)
    return ::testing::AssertionFailure() << "'" << t.text << "' still shows (" << ink << " pixels of ink in "
                                         << rect_text(t.box) << ") in " << shot.path;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult panel_title_shows(const Picture& shot, const MenuLayout& m, const char* title) {
  return text_shows(shot, panel_title_text(m, title));
}

::testing::AssertionResult title_screen_shows(const Picture& shot, const MenuLayout& m) {
  if (m.buttons.size() != 3)
    return ::testing::AssertionFailure() << m.buttons.size() << " items, not new game, controls and quit";
  if (m.others.empty())
    return ::testing::AssertionFailure() << "no line under the title";
  return texts_show(shot, title_screen_texts(m));
}

::testing::AssertionResult health_bar_shows(const Picture& shot, float fraction) {
  HealthBar bar(shot.height);
  uint32_t fill = health_colour(fraction);
  float inner = bar.inner() * fraction, mid = bar.mid();
  Rect filled{bar.x + bar.s + bar.h * 0.5f, mid - 1, bar.x + bar.s + inner - bar.h * 0.5f, mid + 1};
  int want = int(filled[2] - filled[0]) * 2;
  int got = count_colour(shot, filled, fill, 6);
  if (got < want - 2)
    return ::testing::AssertionFailure() << "the bar is filled in its colour for " << got << " of " << want
                                         << " pixels, for " << fraction << " of its length, in " << shot.path;
  Rect empty{bar.x + bar.s + inner + 3, mid - 1, bar.x + bar.w - bar.s - 2, mid + 1};
  int after = empty[2] > empty[0] ? count_colour(shot, empty, fill, 12) : 0;
  if (after != 0)
    return ::testing::AssertionFailure() << after << " pixels of the fill after " << fraction
                                         << " of the bar in " << shot.path;
  return ::testing::AssertionSuccess();
}

float health_bar_fill(const Picture& shot) {
  HealthBar bar(shot.height);
  int y = int(bar.mid()), x0 = int(bar.x + bar.s + bar.h * 0.5f), x1 = int(bar.x + bar.w - bar.s);
  if (y >= shot.height || x1 >= shot.width)
    return 0;
  uint32_t fill = 0;
  for (float f : {0.1f, 0.4f, 1.0f})
    if (near_colour(shot.at(x0, y), health_colour(f), 6))
      fill = health_colour(f);
  if (!fill)
    return 0;
  int x = x0;
  while (x + 1 < x1 && near_colour(shot.at(x + 1, y), fill, 6))
    x++;
  return (float(x + 1) - (bar.x + bar.s)) / bar.inner();
}

}  // namespace play
