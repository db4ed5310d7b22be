// The screens' elements and the menu screen.
/*
import ui
import shell_api
import sound
*/
#include "gameobj/ui.h"

#include "engine/world/gameobj_api.h"
#include "gameobj/shell_api.h"
#include "gameobj/sound.h"
#include "platform/win32/windows.h"

namespace {

bool is_mouse_button(int code) { return code == VK_LBUTTON || code == VK_RBUTTON || code == VK_MBUTTON; }

// Takes the menus' keys at the root of a menu screen.
struct MenuKeysBehavior : NewGuiEventHandler {
  MenuKeysBehavior() : NewGuiEventHandler(GUI_EVENT_KEY) {}
  int handle(NewGuiEvent& event, GuiElement* element, int) override {
    NewGuiInputEvent& in = static_cast<NewGuiInputEvent&>(event);
    if (in.input.type != GuiInput::KEY_DOWN || (in.input.modifiers & 64))
      return GUI_UNHANDLED;
    GuiElement* top = element;
    while (top->parent)
      top = top->parent;
    if (UiRoot* root = dynamic_cast<UiRoot*>(top))
      if (root->screen)
        root->screen->onKey(in.input.code);
    return GUI_HANDLED;
  }
};
MenuKeysBehavior menu_keys;

}  // namespace

// ---- elements ----------------------------------------------------------------------

void UiElement::layout(__m128 r, int scale_) {
  rect = inner = r;
  scale = scale_ < 1 ? 1 : scale_;
  float s = float(scale);
  float x0 = px0(), y0 = py0(), w = px1() - x0;
  for (int i = 0; i < children.size(); i++) {
    UiElement* c = static_cast<UiElement*>(children[i]);
    float cx = c->centreX ? x0 + (w - c->uw * s) * 0.5f : x0 + c->ux * s;
    float cy = y0 + c->uy * s;
    c->layout(_mm_setr_ps(cx, cy, cx + c->uw * s, cy + c->uh * s), scale);
  }
}

void UiElement::drawTree(float t) {
  if (!visible)
    return;
  draw(t);
  for (int i = 0; i < children.size(); i++)
    static_cast<UiElement*>(children[i])->drawTree(t);
}

// The panels are centred on the screen, also vertically.
void UiRoot::layout(__m128 r, int scale_) {
  UiElement::layout(r, scale_);
  float s = float(scale);
  for (int i = 0; i < children.size(); i++) {
    UiElement* c = static_cast<UiElement*>(children[i]);
    if (!c->centreX)
      continue;
    float h = c->uh * s, top = py0() + (py1() - py0() - h) * 0.5f;
    float x0 = v_x(c->rect);
    c->layout(_mm_setr_ps(x0, top, x0 + c->uw * s, top + h), scale);
  }
}

void UiPanel::draw(float) {
  float s = float(scale);
  ui_box(rect, ui_color::PANEL, ui_color::PANEL_EDGE, 4 * s);
  if (title.len())
    ui_text(title.c_str(), (px0() + px1()) * 0.5f, py0() + 6 * s, 14 * s, ui_color::TITLE, UI_CENTRE, UI_BOLD);
}

void UiLabel::draw(float) {
  float s = float(scale);
  float x = align == UI_LEFT ? px0() : (align == UI_RIGHT ? px1() : (px0() + px1()) * 0.5f);
  float y = (py0() + py1()) * 0.5f - size * s * 0.5f;
  if (icon) {
    float tw = ui_text_width(text.c_str(), size * s, font);
    float ix = align == UI_CENTRE ? x - tw * 0.5f - size * s * 0.7f : (align == UI_LEFT ? x + size * s * 0.5f : x);
    ui_icon(icon, ix, y + size * s * 0.55f, size * s, color);
    if (align == UI_LEFT)
      x += size * s * 1.2f;
  }
  ui_text(text.c_str(), x, y, size * s, color, align, font);
}

void UiButton::draw(float) {
  float s = float(scale);
  uint32_t f = !enabled ? ui_color::LOCKED : (isPressed() ? ui_color::BUTTON_PRESSED : (focused ? ui_color::BUTTON_FOCUS : fill));
  ui_box(rect, f, focused ? ui_color::FOCUS_EDGE : ui_color::BUTTON_EDGE, 3 * s);
  float size = textSize * s, y = (py0() + py1()) * 0.5f - size * 0.5f;
  uint32_t c = enabled ? textColor : ui_color::DIM;
  float x = px0() + 6 * s;
  if (icon) {
    ui_icon(icon, x + size * 0.5f, y + size * 0.55f, size, c);
    x += size * 1.4f;
  }
  if (detail.len()) {
    ui_text(text.c_str(), x, y, size, c, UI_LEFT, UI_REGULAR);
    ui_text(detail.c_str(), px1() - 6 * s, y, size, enabled ? detailColor : ui_color::DIM, UI_RIGHT, UI_BOLD);
  } else if (icon) {
    ui_text(text.c_str(), x, y, size, c, UI_LEFT, UI_REGULAR);
  } else {
    ui_text(text.c_str(), (px0() + px1()) * 0.5f, y, size, c, UI_CENTRE, UI_REGULAR);
  }
}

void UiKeyBox::draw(float t) {
  if (waiting) {
    detail = "press a key";
    fill = ui_color::BUTTON_PRESSED;
  } else {
    fill = ui_color::BUTTON;
  }
  UiButton::draw(t);
}

// ---- menu screens ------------------------------------------------------------------

MenuScreen::MenuScreen() {
  gui_get_mouse_pos(&lastPointerX, &lastPointerY);
  ui = new UiRoot();
  ui->screen = this;
  ui->addBehavior(&menu_keys);
  root = ui;
}

MenuScreen::~MenuScreen() {
  if (ui)
    ui->screen = nullptr;
}

void MenuScreen::elementDestroyed(BaseGuiElement* element) {
  BaseGuiScreen::elementDestroyed(element);
  if (element == ui) {
    ui = nullptr;
    panel = nullptr;
    items.clear();
  }
}

void MenuScreen::close() {
  if (ui)
    ui->screen = nullptr;
  if (cur_game_screen == this)
    cur_game_screen = nullptr;
}

UiPanel* MenuScreen::makePanel(float w, float h, const char* title) {
  panel = new UiPanel();
  panel->uw = w, panel->uh = h;
  panel->centreX = true;
  panel->title = title;
  ui->addChild(panel);
  return panel;
}

UiLabel* MenuScreen::addLabel(UiElement* parent, const char* text, float x, float y, float w, float size) {
  UiLabel* label = new UiLabel();
  label->text = text;
  label->ux = x, label->uy = y, label->uw = w, label->uh = size + 4;
  label->size = size;
  parent->addChild(label);
  return label;
}

int MenuScreen::placeItem(UiButton* item, const char* behavior, float y) {
  int index = items.size();
  item->uw = panel->uw - 24, item->uh = 16;
  item->centreX = true;
  item->uy = y;
  item->addBehavior("solid_box");
  item->addBehavior(behavior);
  item->addBehavior("sound");
  item->hoverSignal.connect([this, index](GuiElement*, bool over) {
    if (over && pointerMoved)
      setFocus(index, false);
  });
  panel->addChild(item);
  items.push(&item);
  item->focused = index == focus;
  return index;
}

UiButton* MenuScreen::addItem(UiButton* button, const char* text, int action, float y) {
  button->text = text;
  button->action = action;
  int index = placeItem(button, "button", y);
  button->clickSignal.connect([this, index](GuiElement*, int) { activate(index); });
  return button;
}

UiKeyBox* MenuScreen::addKeyBox(int button, float y) {
  UiKeyBox* box = new UiKeyBox();
  box->button = button;
  box->action = placeItem(box, "keybox", y);
  box->clickSignal.connect([this, box](GuiElement*, int code) {
    // The box takes the key only when the player chose it: clicked, or the pointer
    // moved onto it. A pointer resting where the box appeared chose nothing.
    if (is_mouse_button(code) || pointerMovedSinceKeys)
      onKeyBound(box, code);
    else
      onKey(code);
  });
  return box;
}

void MenuScreen::setFocus(int index, bool by_keyboard) {
  if (items.isEmpty())
    return;
  index = (index % items.size() + items.size()) % items.size();
  if (index == focus && items[focus]->focused)
    return;
  for (int i = 0; i < items.size(); i++)
    items[i]->focused = i == index;
  focus = index;
  if (by_keyboard)
    play_event(SND_UI_HOVER);
}

void MenuScreen::activate(int index) {
  if (index < 0 || index >= items.size() || !items[index]->enabled)
    return;
  setFocus(index, false);
  pendingAction = items[index]->action;
}

void MenuScreen::onKey(int code) {
  // The Menu button's key leaves every screen, as it pauses the play.
  if (code == shell::menu_key()) {
    pointerMovedSinceKeys = false;
    pendingAction = ACTION_BACK;
    return;
  }
  switch (code) {
    case KEY_UP:
    case KEY_LEFT:
      pointerMovedSinceKeys = false;
      setFocus(focus - 1, true);
      break;
    case KEY_DOWN:
    case KEY_RIGHT:
      pointerMovedSinceKeys = false;
      setFocus(focus + 1, true);
      break;
    case KEY_ENTER:
    case KEY_SPACE:
      pointerMovedSinceKeys = false;
      if (focus < items.size() && items[focus]->enabled) {
        play_event(SND_UI_CLICK);
        activate(focus);
      }
      break;
    default:
      break;
  }
}

void MenuScreen::update(float) {
  if (!ui)
    return;
  float px, py;
  gui_get_mouse_pos(&px, &py);
  pointerMoved = px != lastPointerX || py != lastPointerY;
  pointerMovedSinceKeys = pointerMovedSinceKeys || pointerMoved;
  lastPointerX = px, lastPointerY = py;
  processInput();
  // Actions run outside the event dispatch: they may replace this screen.
  if (pendingAction >= 0) {
    int action = pendingAction;
    pendingAction = -1;
    if (action == ACTION_BACK)
      onBack();
    else
      onAction(action);
  }
  restyle();
}

void MenuScreen::draw(float t) {
  if (!ui)
    return;
  setGeometry();
  ui_begin();
  ui->drawTree(t);
  ui_end();
}
