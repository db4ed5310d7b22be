#include "engine/gui/gui_behaviors.h"

NewGuiHittestHandler gui_hittest_box_handler;
static ButtonBehavior button_handler;
static CheckboxBehavior checkbox_handler;
static RadioButtonBehavior radio_button_handler;
static TooltipBoxBehavior tooltip_box_handler;
static HSliderBehavior h_slider_handler;
static TextInputBehavior text_input_handler;

ButtonBehavior* button_behavior = &button_handler;

void register_std_behaviors() {
  register_behavior(&gui_hittest_box_handler, "solid_box");
  register_behavior(&button_handler, "button");
  register_behavior(&checkbox_handler, "checkbox");
  register_behavior(&radio_button_handler, "radio_button");
  register_behavior(&tooltip_box_handler, "tooltip_box");
  register_behavior(&h_slider_handler, "h_slider");
  register_behavior(&text_input_handler, "text_input");
}

bool gui_pointer_hovers(GuiElement* element, NewGuiEvent& event) {
  if (event.mask == GUI_EVENT_ENTER) return true;
  if (event.mask == GUI_EVENT_LEAVE) return false;
  // Only input events reach here (the masks of the slider and text input).
  const GuiInput& in = static_cast<NewGuiInputEvent&>(event).input;
  return hit_test(element, in.x, in.y) == element;
}
