#pragma once
// The six game buttons, each bound to one virtual key or mouse button (codes 1, 2
// and 4), loaded from the settings and stored back when changed; and the two GUI
// behaviours the module's screens use: "keybox", a box that captures a key or
// mouse button, and "sound", the interface sounds of hovering and pressing.
#include "engine/core/fatal.h"
#include "engine/core/strings.h"
#include "engine/gui/gui_event.h"
#include "engine/gui/gui_signal.h"

constexpr int NUM_BUTTONS = 6;
enum GameButton : int {
  BUTTON_LEFT = 0,
  BUTTON_RIGHT = 1,
  BUTTON_JUMP = 2,
  BUTTON_SHOOT_PRI = 3,
  BUTTON_SHOOT_SEC = 4,
  BUTTON_MENU = 5,
};

extern int button_keys[NUM_BUTTONS];

// Defaults, then the stored bindings ("#%d" under "B_left" ... "B_menu"); then the
// two behaviours are registered.
void init_controls();
// Binds a button and stores the binding; other button numbers do nothing.
void set_button_key(int button, int key);
// The bound key went down / went up in this update, or is held; false for a
// button outside 0..5.
bool button_down(int button);
bool button_up(int button);
bool button_state(int button);
// The bound key's name; empty outside 0..5.
TempString<260> get_button_key_name(int button);
// "Left", "Right", "Jump", ...; null outside 0..5.
const char* get_button_ui_name(int button);

// ---- signal nodes calling a member function ------------------------------------------

template <class T>
struct MethodSignalCallback0 : SignalCallback0 {
  T* target;
  void (T::*method)();
  MethodSignalCallback0(T* target_, void (T::*method_)()) : target(target_), method(method_) {}
  void invoke() override { (target->*method)(); }
};

template <class T, class A, class B>
struct MethodSignalCallback2 : SignalCallback2<A, B> {
  T* target;
  void (T::*method)(A, B);
  MethodSignalCallback2(T* target_, void (T::*method_)(A, B)) : target(target_), method(method_) {}
  void invoke(A a, B b) override { (target->*method)(a, b); }
};

// Puts a node at the head of the signal's list (callbacks run newest first); a
// null node is ignored. A node already in a list is a failed consistency check:
// one with a successor, and also the last node of this very list, which has none
// but would close the list into a loop.
template <class... Args>
void connect_signal(Signal<Args...>& signal, SignalCallback<Args...>* c) {
  if (!c)
    return;
  ASSERT(!c->next);
  ASSERT(!signal.contains(c));
  signal.add(c);
}

template <class T>
void connect_signal(Signal<>& signal, T* target, void (T::*method)()) {
  connect_signal(signal, static_cast<SignalCallback0*>(new MethodSignalCallback0<T>(target, method)));
}

template <class T, class A, class B>
void connect_signal(Signal<A, B>& signal, T* target, void (T::*method)(A, B)) {
  connect_signal(signal, static_cast<SignalCallback2<A, B>*>(new MethodSignalCallback2<T, A, B>(target, method)));
}

// ---- GUI behaviours ---------------------------------------------------------------------

// Key, enter, leave, mouse down and reset events (mask 1204).
struct KeyBoxBehavior : NewGuiEventHandler {
  KeyBoxBehavior() : NewGuiEventHandler(GUI_EVENT_KEY | GUI_EVENT_ENTER | GUI_EVENT_LEAVE | GUI_EVENT_MOUSE_DOWN |
                                        GUI_EVENT_RESET) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  void attach(GuiElement* element) override;
  void detach(GuiElement* element) override;
};

// Receives no events; attaching it connects the three interface sounds.
struct SoundBehavior : NewGuiEventHandler {
  SoundBehavior() : NewGuiEventHandler(0) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  void attach(GuiElement* element) override;
  void onHover(GuiElement* element, bool hovered);
  void onPress();
  void onRelease();
};

extern KeyBoxBehavior keybox_behavior;
extern SoundBehavior sound_behavior;
