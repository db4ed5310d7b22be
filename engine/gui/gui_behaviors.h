#pragma once
// The standard behaviours: hit boxes, the button family, the horizontal
// slider, one-line text input and tooltip boxes. Each is one shared object.
#include "engine/gui/gui_event.h"

// "solid_box": makes the element hittable by its rect.
struct NewGuiHittestHandler : NewGuiEventHandler {
  NewGuiHittestHandler() : NewGuiEventHandler(GUI_EVENT_HITTEST) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  // x0 < x <= x1 and y0 < y <= y1 on the element's rect.
  virtual bool contains(GuiElement* element, float x, float y);
};

// "button": hover, pressed and click.
struct ButtonBehavior : NewGuiEventHandler {
  ButtonBehavior() : NewGuiEventHandler(0x4f0) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  void attach(GuiElement* element) override;
  void detach(GuiElement* element) override;
  virtual void onClick(GuiElement* element, NewGuiInputEvent& event);
};

// "checkbox": a button that toggles its checked state.
struct CheckboxBehavior : ButtonBehavior {
  void attach(GuiElement* element) override;
  void onClick(GuiElement* element, NewGuiInputEvent& event) override;
};

// "radio_button": a button that checks itself and unchecks its siblings that
// carry the same behaviour.
struct RadioButtonBehavior : ButtonBehavior {
  void attach(GuiElement* element) override;
  void onClick(GuiElement* element, NewGuiInputEvent& event) override;
};

// "tooltip_box": shows the element's tooltip while the pointer is over it.
struct TooltipBoxBehavior : NewGuiEventHandler {
  TooltipBoxBehavior() : NewGuiEventHandler(GUI_EVENT_TOOLTIP) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  virtual int showTooltipAt(GuiElement* element, float x, float y);
};

// "h_slider": a horizontal slider whose knob is the first child flagged
// GUI_FLAG_KNOB; value, minimum and maximum are properties 22, 23, 24.
struct HSliderBehavior : NewGuiEventHandler {
  HSliderBehavior() : NewGuiEventHandler(0x5f1) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  void attach(GuiElement* element) override;
  void detach(GuiElement* element) override;
  // Places the knob at fraction f (clamped to 0..1) of the track.
  void setKnobFraction(GuiElement* element, double f);
};

// "text_input": one-line UTF-8 text editing with an insertion point; the
// caret is the first child flagged GUI_FLAG_CARET.
struct TextInputBehavior : NewGuiEventHandler {
  TextInputBehavior() : NewGuiEventHandler(0x5f5) {}
  int handle(NewGuiEvent& event, GuiElement* element, int mode) override;
  void attach(GuiElement* element) override;
  void detach(GuiElement* element) override;
  void updateCaret(GuiElement* element);
};

extern NewGuiHittestHandler gui_hittest_box_handler;
extern ButtonBehavior* button_behavior;

// Registers the seven standard behaviours under their names.
void register_std_behaviors();

// Shared by the behaviours: the hovered state a pointer event gives the
// element (enter: true, leave: false, else whether the pointer hits it).
bool gui_pointer_hovers(GuiElement* element, NewGuiEvent& event);
