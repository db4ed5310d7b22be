// The button family: "button", "checkbox" and "radio_button" share the
// pressed/hovered state machine and differ in what a click does.
#include "engine/gui/gui_behaviors.h"

int ButtonBehavior::handle(NewGuiEvent& event, GuiElement* element, int) {
  if (event.mask == GUI_EVENT_RESET) {
    bool wasPressed = element->isPressed();
    element->setPressed(false);
    element->setHovered(false);
    if (wasPressed) element->releaseSignal.fire();
    return GUI_UNHANDLED;
  }
  if (!element->isActive()) return GUI_UNHANDLED;

  bool wasPressed = element->isPressed();
  bool wasHovered = element->isHovered();
  // Enter, leave, mouse down and mouse up always come as input events.
  switch (event.mask) {
    case GUI_EVENT_ENTER:
      element->setPressed(static_cast<NewGuiInputEvent&>(event).buttonsHeld());
      element->setHovered(true);
      break;
    case GUI_EVENT_LEAVE:
      element->setPressed(false);
      element->setHovered(false);
      break;
    case GUI_EVENT_MOUSE_DOWN:
      element->setPressed(true);
      break;
    case GUI_EVENT_MOUSE_UP: {
      NewGuiInputEvent& in = static_cast<NewGuiInputEvent&>(event);
      bool held = in.buttonsHeld();
      bool over = hit_test(element, in.input.x, in.input.y) == element;
      element->setPressed(held);
      element->setHovered(over);
      if (!held && over) onClick(element, in);
      break;
    }
    default:
      break;
  }

  bool hovered = element->isHovered();
  bool pressed = element->isPressed();
  if (hovered != wasHovered) element->hoverSignal.fire(element, hovered);
  if (pressed != wasPressed) {
    if (pressed)
      element->pressSignal.fire();
    else
      element->releaseSignal.fire();
  }
  return GUI_HANDLED;
}

void ButtonBehavior::attach(GuiElement* element) {
  element->setPressed(false);
  element->setHovered(false);
}

void ButtonBehavior::detach(GuiElement* element) {
  bool wasPressed = element->isPressed();
  element->setPressed(false);
  element->setHovered(false);
  if (wasPressed) element->releaseSignal.fire();
}

void ButtonBehavior::onClick(GuiElement* element, NewGuiInputEvent& event) {
  element->clickSignal.fire(element, event.input.code);
  element->clickStateSignal.fire(element->isChecked());
}

void CheckboxBehavior::attach(GuiElement* element) {
  ButtonBehavior::attach(element);
  element->setChecked(element->isChecked());
}

void CheckboxBehavior::onClick(GuiElement* element, NewGuiInputEvent& event) {
  element->setChecked(!element->isChecked());
  element->checkSignal.fire(element->isChecked());
  ButtonBehavior::onClick(element, event);
}

void RadioButtonBehavior::attach(GuiElement* element) {
  ButtonBehavior::attach(element);
  element->setChecked(element->isChecked());
}

void RadioButtonBehavior::onClick(GuiElement* element, NewGuiInputEvent& event) {
  GuiElement* parent = element->parent;
  if (parent) {
    DynArray<GuiElement*>& group = parent->children;
    for (int i = 0; i < group.size(); i++)
      if (group[i]->hasBehavior(this)) group[i]->setChecked(group[i] == element);
    for (int i = 0; i < group.size(); i++)
      if (group[i]->hasBehavior(this)) group[i]->checkSignal.fire(group[i]->isChecked());
  }
  ButtonBehavior::onClick(element, event);
}
