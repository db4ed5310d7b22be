// The upgrade screen between two levels: the game script's upgrade tree with each
// node's cost (in red while it is more than the points left) and state, and the
// points left. Clicking a node buys it when the script allows; Continue (the first
// item) goes on to the next level.
/*
import menus
import script_table
import shell_api
import sound
*/
#include <cstring>

#include "engine/script/game_script.h"
#include "engine/world/gameobj_api.h"
#include "gameobj/menus.h"
#include "gameobj/script_table.h"
#include "gameobj/shell_api.h"
#include "gameobj/sound.h"

namespace {

constexpr int CONTINUE = 1000 - 1;
constexpr float COLUMN = 100, ROW = 27, TOP = 42;

// One node of the tree as the script describes it.
struct NodeView {
  String name, title, state, needs;
  int cost = 0;
  float col = 0, row = 0;
};

// The requirements as the player reads them: the nodes' titles, not their names.
void name_requirements(DynArray<NodeView>& nodes) {
  for (NodeView& v : nodes) {
    TempString<256> titles;
    const char* s = v.needs.c_str();
    while (*s) {
      const char* end = strstr(s, ", ");
      size_t len = end ? size_t(end - s) : strlen(s);
      const char* title = nullptr;
      for (const NodeView& other : nodes)
        if (strlen(other.name.c_str()) == len && strncmp(other.name.c_str(), s, len) == 0)
          title = other.title.c_str();
      TempString<128> one;
      one.format("%.*s", int(title ? strlen(title) : len), title ? title : s);
      if (titles.str[0] && strlen(titles.str) + 2 < sizeof(titles.str))
        strcat(titles.str, ", ");
      if (strlen(titles.str) + strlen(one.str) < sizeof(titles.str))
        strcat(titles.str, one.str);
      s = end ? end + 2 : s + len;
    }
    v.needs = titles.str;
  }
}

// The tree as get_upgrade_tree gives it: an array of node tables.
void read_tree(DynArray<NodeView>& out) {
  out.clear();
  sqbind::SqObject tree = get_upgrade_tree();
  HSQUIRRELVM vm = get_world_script_vm();
  if (!vm || tree.obj._type != OT_ARRAY)
    return;
  SQInteger top = sq_gettop(vm);
  tree.push(vm);
  sq_pushnull(vm);
  while (SQ_SUCCEEDED(sq_next(vm, -2))) {
    HSQOBJECT node;
    sq_getstackobj(vm, -1, &node);
    if (node._type == OT_TABLE) {
      NodeView& v = out.push();
      float cost = 0;
      table_text(vm, node, "name", v.name);
      table_text(vm, node, "title", v.title);
      table_text(vm, node, "state", v.state);
      table_number(vm, node, "cost", cost);
      table_number(vm, node, "x", v.col);
      table_number(vm, node, "y", v.row);
      table_text_list(vm, node, "requires", v.needs);
      v.cost = int(cost);
    }
    sq_pop(vm, 2);
  }
  sq_settop(vm, top);
  name_requirements(out);
}

class UpgradeScreen : public MenuScreen {
 public:
  DynArray<NodeView> nodes;
  UiLabel* pointsLabel = nullptr;

  UpgradeScreen() {
    makePanel(316, 176, "UPGRADES");
    pointsLabel = addLabel(panel, "", 0, 22, 316, 8);
    pointsLabel->icon = "point";
    pointsLabel->color = ui_color::TITLE;
    UiButton* go = addItem("Continue", CONTINUE, 152);
    go->icon = "arrow_right";
    go->uw = 120;
    read_tree(nodes);
    for (int i = 0; i < nodes.size(); i++) {
      UiButton* b = addItem(nodes[i].title.c_str(), i, TOP + nodes[i].row * ROW);
      b->centreX = false;
      b->ux = 12 + nodes[i].col * COLUMN;
      b->uw = COLUMN - 8;
      b->uh = 20;
      b->textSize = 7;
      if (nodes[i].needs.len()) {
        TempString<300> tip;
        tip.format("Needs %s", nodes[i].needs.c_str());
        b->setTooltip(String(tip.str));
        b->addBehavior("tooltip_box");
      }
    }
    refresh();
    upgrade_screen = this;
  }
  ~UpgradeScreen() override {
    if (upgrade_screen == this)
      upgrade_screen = nullptr;
  }

  void refresh() {
    TempString<64> text;
    text.format("%d points to spend", shell::points());
    pointsLabel->text = text.str;
    for (int i = 0; i < nodes.size(); i++) {
      UiButton* b = items[i + 1];
      const NodeView& n = nodes[i];
      bool owned = strcmp(n.state.c_str(), "owned") == 0;
      bool locked = strcmp(n.state.c_str(), "locked") == 0;
      TempString<32> cost;
      cost.format("%d", n.cost);
      // An owned node shows its tick and colour: a word in the cost's place would run
      // into a long title.
      b->detail = owned ? "" : cost.str;
      b->icon = owned ? "check" : (locked ? "lock" : "star");
      b->fill = owned ? ui_color::OWNED : (locked ? ui_color::LOCKED : ui_color::BUTTON);
      // A node the points do not buy yet: its title dimmed, its price in red.
      bool short_of_points = !owned && n.cost > shell::points();
      b->textColor = short_of_points ? ui_color::DIM : ui_color::TEXT;
      b->detailColor = short_of_points ? ui_color::WARN : ui_color::TEXT;
    }
  }

  void onAction(int action) override {
    if (action == CONTINUE) {
      should_close_game_menu = true;  // the upgrade mode plays the accept sound
      return;
    }
    if (action < 0 || action >= nodes.size())
      return;
    int before = shell::points();
    int left = on_upgrade_node_clicked(nodes[action].name.c_str(), before);
    if (left < before && left >= 0) {
      shell::set_points(left);
      play_event(SND_UPGRADE_PLUS);
      int keep = focus;
      read_tree(nodes);
      refresh();
      setFocus(keep, false);
    } else {
      play_event(SND_UPGRADE_MINUS);
    }
  }
};

}  // namespace

BaseGuiScreen* make_upgrade_screen() { return new UpgradeScreen(); }
