#include "engine/gui/gui_screen.h"

#include <cmath>
#include <cstdlib>

#include "engine/core/fatal.h"

BaseGuiScreen* cur_game_screen = nullptr;

void gui_register_screen(BaseGuiScreen* screen);
void gui_unregister_screen(BaseGuiScreen* screen);

// A screen deleted outside a drain leaves its root queued until the next one; the
// last drain runs at exit, before the globals of the GUI runtime go, so that nothing
// queued is left behind.
static void drain_at_exit() { destroy_queued_gui_elements(); }

BaseGuiScreen::BaseGuiScreen() {
  static bool drain_registered = std::atexit(drain_at_exit) == 0;
  (void)drain_registered;
  gui_register_screen(this);
}

BaseGuiScreen::~BaseGuiScreen() {
  gui_unregister_screen(this);
  if (cur_game_screen == this) cur_game_screen = nullptr;
  queue_destruction(root);
}

void BaseGuiScreen::elementDestroyed(BaseGuiElement* element) {
  if (root == element) root = nullptr;
  if (hovered == element) hovered = nullptr;
  if (captured == element) captured = nullptr;
}

void BaseGuiScreen::destroy() {
  close();
  queue_destruction(this);
}

int gui_layout_scale(int height) {
  int s = (int)lrintf((float)height * (1.0f / 240.0f) - 0.49999988f);
  return s < 1 ? 1 : s;
}

void BaseGuiScreen::setGeometry() {
  if (!root) return;
  int w, h;
  gui_get_screen_size(&w, &h);
  root->layout(_mm_setr_ps(0, 0, (float)w, (float)h), gui_layout_scale(h));
}

void BaseGuiScreen::restyle() {
  if (style && root) style->restyle(root, false);
  setGeometry();
}

static void send_pointer_event(NewGuiInputEvent& event, uint32_t mask, GuiElement* element) {
  event.mask = mask;
  send_event(event, element, GUI_ROUTE_SELF);
}

void BaseGuiScreen::resetState() {
  captured = nullptr;
  if (hovered) {
    GuiInput move;
    move.type = GuiInput::MOUSE_MOVE;
    gui_get_mouse_pos(&move.x, &move.y);
    NewGuiInputEvent event(GUI_EVENT_LEAVE, move);
    send_pointer_event(event, GUI_EVENT_LEAVE, hovered);
  }
  hovered = nullptr;
}

void BaseGuiScreen::processInput() {
  GuiInput input;
  while (gui_get_event(&input)) {
    NewGuiInputEvent event(0, input);
    GuiElement* target;
    if (!captured) {
      if (!root) continue;
      GuiElement* t = hit_test(root, input.x, input.y);
      if (t != hovered) {
        if (hovered) send_pointer_event(event, GUI_EVENT_LEAVE, hovered);
        hovered = t;
        if (t) send_pointer_event(event, GUI_EVENT_ENTER, t);
      }
      target = t;
    } else if (input.modifiers & GUI_MOD_BUTTONS_HELD) {
      // While a button is held only the captured element can be hovered.
      GuiElement* h = hit_test(root, input.x, input.y);
      if (h != hovered) {
        if (hovered) send_pointer_event(event, GUI_EVENT_LEAVE, hovered);
        hovered = nullptr;
        if (h == captured) {
          hovered = h;
          send_pointer_event(event, GUI_EVENT_ENTER, h);
        }
      }
      target = captured;
    } else {
      target = captured;
      captured = nullptr;
    }
    processInputEvent(event, target);
  }

  bool mouseAway = gui_is_mouse_blocked() || !gui_is_mouse_over();
  if (mouseAway) resetState();

  if (!root || mouseAway) {
    gui_hide_tooltip();
    return;
  }
  float x, y;
  gui_get_mouse_pos(&x, &y);
  NewGuiTooltipEvent tip(x, y);
  if (gui_offer_to_tree(tip, root) != GUI_HANDLED) gui_hide_tooltip();
}

void BaseGuiScreen::processInputEvent(NewGuiInputEvent& event, GuiElement* element) {
  int type = event.input.type;
  if (type == GuiInput::MOUSE_DOWN) captured = element;
  if (type < GuiInput::KEY_DOWN || type > GuiInput::WHEEL) ASSERT(!"unknown input event type");

  if (type == GuiInput::KEY_DOWN || type == GuiInput::KEY_UP) {
    event.mask = GUI_EVENT_KEY;
    if (!element)
      gui_offer_to_tree(event, root);
    else
      send_event(event, element, GUI_ROUTE_BUBBLE);
    return;
  }
  static const uint32_t pointer_masks[] = {GUI_EVENT_MOUSE_DOWN, GUI_EVENT_MOUSE_UP, GUI_EVENT_MOUSE_MOVE,
                                           GUI_EVENT_WHEEL};
  event.mask = pointer_masks[type - GuiInput::MOUSE_DOWN];
  send_event(event, element, GUI_ROUTE_SELF);
}
