#include <cstring>

#include "engine/core/dynarray.h"
#include "engine/gui/gui_event.h"

namespace {
struct BehaviorEntry {
  const char* name;
  NewGuiEventHandler* handler;
};
}  // namespace

static DynArray<BehaviorEntry> behavior_registry;

void register_behavior(NewGuiEventHandler* handler, const char* name) {
  // A nameless entry would break every later lookup, and a null handler would
  // hide a real one registered under its name afterwards.
  if (!handler || !name) return;
  if (get_behavior(name)) return;
  BehaviorEntry entry{name, handler};
  behavior_registry.push(&entry);
}

NewGuiEventHandler* get_behavior(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < behavior_registry.size(); i++)
    if (strcmp(behavior_registry[i].name, name) == 0) return behavior_registry[i].handler;
  return nullptr;
}

void clear_behavior_registry() { behavior_registry.clearAndFree(); }

static int send_down_ancestry(NewGuiEvent& event, GuiElement* element, GuiElement* stop) {
  if (element != stop && element->parent) {
    int r = send_down_ancestry(event, element->parent, stop);
    if (r) return r;
  }
  return element->processEvent(event, GUI_ROUTE_ANCESTRY);
}

static int send_bubble(NewGuiEvent& event, GuiElement* element, GuiElement* stop) {
  for (GuiElement* e = element; e; e = e->parent) {
    int r = e->processEvent(event, GUI_ROUTE_BUBBLE);
    if (r) return r;
    if (e == stop) break;
  }
  return GUI_UNHANDLED;
}

static int send_depth_first(NewGuiEvent& event, GuiElement* element, GuiElement* stop) {
  int r = element->processEvent(event, GUI_ROUTE_DEPTH);
  if (r == GUI_HANDLED_NO_DESCENT) return GUI_UNHANDLED;
  if (r) return r;
  for (int i = 0; i < element->children.size(); i++) {
    r = send_event(event, element->children[i], GUI_ROUTE_DEPTH, stop);
    if (r) return r;
  }
  return GUI_UNHANDLED;
}

int send_event(NewGuiEvent& event, GuiElement* element, int mode, GuiElement* stop) {
  if (!element) return GUI_UNHANDLED;
  switch (mode) {
    case GUI_ROUTE_ANCESTRY: return send_down_ancestry(event, element, stop);
    case GUI_ROUTE_BUBBLE: return send_bubble(event, element, stop);
    case GUI_ROUTE_SELF: return element->processEvent(event, GUI_ROUTE_SELF);
    case GUI_ROUTE_DEPTH: return send_depth_first(event, element, stop);
    default: return GUI_UNHANDLED;
  }
}

// Offers the event to the root's own behaviours, then depth first to each of
// its children until one answers.
int gui_offer_to_tree(NewGuiEvent& event, GuiElement* root) {
  if (!root) return GUI_UNHANDLED;
  int r = root->processEvent(event, GUI_ROUTE_DEPTH);
  if (r) return r;
  for (int i = 0; i < root->children.size(); i++) {
    r = send_event(event, root->children[i], GUI_ROUTE_DEPTH);
    if (r) return r;
  }
  return GUI_UNHANDLED;
}

GuiElement* hit_test(GuiElement* root, float x, float y) {
  NewGuiHittestEvent event(x, y);
  gui_offer_to_tree(event, root);
  return event.result;
}
