#include "screens.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "engine/gui/dist_layout.h"
#include "engine/gui/gui_event.h"
#include "engine/gui/gui_screen.h"
#include "engine/script/game_script.h"

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

void keep_picture(const Picture& p, const std::string& stem) {
  std::string to = p.path.substr(0, p.path.rfind('/') + 1) + stem + ".png";
  std::error_code ec;
  std::filesystem::copy_file(p.path, to, std::filesystem::copy_options::overwrite_existing, ec);
  printf("picture: %s\n", to.c_str());
}

}  // namespace play
