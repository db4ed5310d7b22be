#pragma once
// GUI events, behaviours and the router that walks element trees with them.
#include <cstdint>

#include "engine/gui/gui_element.h"
#include "engine/gui/gui_host.h"

// Event masks.
enum : uint32_t {
  GUI_EVENT_NOTIFY = 1,       // module notification with a code
  GUI_EVENT_HITTEST = 2,
  GUI_EVENT_KEY = 4,          // key down or key up
  GUI_EVENT_ENTER = 16,       // the pointer enters the element
  GUI_EVENT_LEAVE = 32,       // the pointer leaves the element
  GUI_EVENT_MOUSE_UP = 64,
  GUI_EVENT_MOUSE_DOWN = 128,
  GUI_EVENT_MOUSE_MOVE = 256,
  GUI_EVENT_WHEEL = 512,
  GUI_EVENT_RESET = 1024,     // sent by module code
  GUI_EVENT_TOOLTIP = 2048,
};

// Codes of notification events.
enum : int32_t {
  GUI_NOTIFY_PLACE_KNOB = 1, // a slider re-places its knob from its value
  GUI_NOTIFY_CARET_END = 2,  // a text input puts its insertion point at the end
};

// Routing modes of send_event.
enum : int {
  GUI_ROUTE_ANCESTRY = 0, // ancestors first, from the topmost down to the element
  GUI_ROUTE_BUBBLE = 1,   // the element, then up through its parents
  GUI_ROUTE_SELF = 2,     // the element only
  GUI_ROUTE_DEPTH = 3,    // depth first through the subtree
};

// Answers of a handler.
enum : int {
  GUI_UNHANDLED = 0,
  GUI_HANDLED = 1,
  GUI_HANDLED_NO_DESCENT = 2, // handled; do not descend into this element's children
};

struct NewGuiEvent {
  uint32_t mask;
  explicit NewGuiEvent(uint32_t mask_) : mask(mask_) {}
  virtual ~NewGuiEvent() {}
};

struct NewGuiNotifyEvent : NewGuiEvent {
  int32_t code;
  explicit NewGuiNotifyEvent(int32_t code_) : NewGuiEvent(GUI_EVENT_NOTIFY), code(code_) {}
};

struct NewGuiHittestEvent : NewGuiEvent {
  float x, y;
  GuiElement* result = nullptr;
  NewGuiHittestEvent(float x_, float y_) : NewGuiEvent(GUI_EVENT_HITTEST), x(x_), y(y_) {}
};

struct NewGuiInputEvent : NewGuiEvent {
  GuiInput input;
  NewGuiInputEvent(uint32_t mask_, const GuiInput& input_) : NewGuiEvent(mask_), input(input_) {}
  bool buttonsHeld() const { return (input.modifiers & GUI_MOD_BUTTONS_HELD) != 0; }
};

struct NewGuiTooltipEvent : NewGuiEvent {
  float x, y;
  NewGuiTooltipEvent(float x_, float y_) : NewGuiEvent(GUI_EVENT_TOOLTIP), x(x_), y(y_) {}
};

// A behaviour: one shared, stateless object serves every element it is
// attached to; all per-element state lives in element properties.
struct NewGuiEventHandler {
  uint32_t mask;
  explicit NewGuiEventHandler(uint32_t mask_) : mask(mask_) {}
  virtual ~NewGuiEventHandler() {}
  virtual int handle(NewGuiEvent& event, GuiElement* element, int mode) = 0;
  virtual void attach(GuiElement*) {}
  virtual void detach(GuiElement*) {}
};

// Behaviour registry: names are stored, not copied. A name registered twice
// keeps the first handler.
void register_behavior(NewGuiEventHandler* handler, const char* name);
NewGuiEventHandler* get_behavior(const char* name);
// Forgets every registration (module unload, tests).
void clear_behavior_registry();

// Routes an event from element in one of the four modes; stop ends the walk
// of modes 0 and 1 (null: the root). A null element gives 0.
int send_event(NewGuiEvent& event, GuiElement* element, int mode, GuiElement* stop = nullptr);

// Offers an event to root's own behaviours (mode 3) and, when they give 0,
// depth first to each of root's children until one answers; that answer.
int gui_offer_to_tree(NewGuiEvent& event, GuiElement* root);

// The element under (x, y) within root's tree, or null. Only elements with the
// "solid_box" behaviour can be found; the first hit child in index order wins
// over its later siblings and over its parent.
GuiElement* hit_test(GuiElement* root, float x, float y);
