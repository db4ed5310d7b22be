#pragma once
// The screens' elements: a tree of boxes placed in interface units (scaled by the
// layout scale), drawn by themselves; buttons take the mouse through the GUI's
// "button" behaviour and play the interface sounds through "sound".
/*
import ui_draw
*/
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/gui_screen.h"
#include "gameobj/ui_draw.h"

// Colours of the interface (0xAARRGGBB, from the game palette).
namespace ui_color {
constexpr uint32_t PANEL = 0xE0181425, PANEL_EDGE = 0xFF5A6988, TEXT = 0xFFFFFFFF, DIM = 0xFF8B9BB4,
                   TITLE = 0xFFFEE761, BUTTON = 0xFF262B44, BUTTON_FOCUS = 0xFF124E89, BUTTON_PRESSED = 0xFF0095E9,
                   BUTTON_EDGE = 0xFF3A4466, FOCUS_EDGE = 0xFF2CE8F5, OWNED = 0xFF3E8948, LOCKED = 0xFF3F2832,
                   WARN = 0xFFE43B44, GOOD = 0xFF63C74D;
}

class MenuScreen;

class UiElement : public GuiElement {
 public:
  float ux = 0, uy = 0, uw = 0, uh = 0;  // place in the parent, in interface units
  bool centreX = false;                  // ux is ignored: centred in the parent
  bool visible = true;

  void layout(__m128 r, int scale_) override;
  virtual void draw(float t) {}
  void drawTree(float t);
  float px0() const { return v_lane(rect, 0); }
  float py0() const { return v_lane(rect, 1); }
  float px1() const { return v_lane(rect, 2); }
  float py1() const { return v_lane(rect, 3); }

 private:
  static float v_lane(__m128 v, int i) {
    alignas(16) float f[4];
    _mm_store_ps(f, v);
    return f[i];
  }
};

// The whole screen; knows its screen for the keys.
class UiRoot : public UiElement {
 public:
  MenuScreen* screen = nullptr;
  void layout(__m128 r, int scale_) override;
};

class UiPanel : public UiElement {
 public:
  String title;
  void draw(float t) override;
};

class UiLabel : public UiElement {
 public:
  String text;
  float size = 8;  // interface units
  uint32_t color = ui_color::TEXT;
  int align = UI_CENTRE;
  int font = UI_REGULAR;
  const char* icon = nullptr;  // drawn before the text
  void draw(float t) override;
};

class UiButton : public UiElement {
 public:
  String text;
  String detail;          // right-aligned (a cost, a key)
  const char* icon = nullptr;
  int action = 0;
  bool focused = false;
  bool enabled = true;
  float textSize = 8;  // interface units
  uint32_t fill = ui_color::BUTTON;
  uint32_t textColor = ui_color::TEXT, detailColor = ui_color::TEXT;
  void draw(float t) override;
};

// A box of the controls screen that takes a key for one of the six buttons.
class UiKeyBox : public UiButton {
 public:
  int button = 0;
  bool waiting = false;  // waits for the key to bind
  void draw(float t) override;
};

// A screen of menu items: the mouse picks through the GUI, the keyboard moves the
// focus (up/down) and activates (Enter or Space); the Menu button's key goes back.
class MenuScreen : public BaseGuiScreen {
 public:
  UiRoot* ui = nullptr;
  UiPanel* panel = nullptr;
  DynArray<UiButton*> items;
  int focus = 0;
  int pendingAction = -1;
  // The pointer moves the focus only when it moved: a pointer resting over the
  // screen leaves the keyboard's focus alone.
  float lastPointerX = 0, lastPointerY = 0;
  bool pointerMoved = false;
  // The pointer moved since the screen opened or since the last keyboard navigation:
  // a box under it was pointed at by the player, not left there by chance.
  bool pointerMovedSinceKeys = false;

  MenuScreen();
  ~MenuScreen() override;
  void close() override;
  // The tree going away (its root destroyed) takes the items with it.
  void elementDestroyed(BaseGuiElement* element) override;
  virtual void update(float dt);
  virtual void draw(float t);
  // A key went down (the code of the key, or of a mouse button for key boxes).
  virtual void onKey(int code);
  virtual void onAction(int action) {}
  virtual void onBack() {}

  UiPanel* makePanel(float w, float h, const char* title);
  UiLabel* addLabel(UiElement* parent, const char* text, float x, float y, float w, float size);
  // Puts an item of the menu at row y, with its behaviour; the pointer moving over it
  // takes the focus. Returns its index.
  int placeItem(UiButton* item, const char* behavior, float y);
  UiButton* addItem(UiButton* button, const char* text, int action, float y);
  UiButton* addItem(const char* text, int action, float y) { return addItem(new UiButton(), text, action, y); }
  // A key box for one of the six buttons: a key pressed while the pointer is over it
  // is bound once the pointer moved onto it, a mouse button clicked on it always;
  // otherwise the key navigates the screen as anywhere else.
  UiKeyBox* addKeyBox(int button, float y);
  // Bound: a key box's key was taken.
  virtual void onKeyBound(UiKeyBox* box, int code) {}
  void setFocus(int index, bool by_keyboard);
  void activate(int index);
};

// The action of the Menu button's key, for every screen.
constexpr int ACTION_BACK = 1000;

// Keyboard codes the menus use.
enum : int { KEY_ENTER = 13, KEY_ESCAPE = 27, KEY_SPACE = 32, KEY_LEFT = 37, KEY_UP = 38, KEY_RIGHT = 39,
             KEY_DOWN = 40, KEY_PRINT_SCREEN = 0x2C };
