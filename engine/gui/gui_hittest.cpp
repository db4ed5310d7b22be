// "solid_box" and "tooltip_box": behaviours that answer for the area of an
// element's rect, after giving its children the first chance.
#include "engine/gui/gui_behaviors.h"

// Left and top edges are outside, right and bottom edges inside, so adjacent
// rectangles never both claim a point.
static bool rect_contains(__m128 rect, float x, float y) {
  alignas(16) float r[4];
  _mm_store_ps(r, rect);
  return r[0] < x && x <= r[2] && r[1] < y && y <= r[3];
}

static int offer_to_children(NewGuiEvent& event, GuiElement* element, int mode) {
  for (int i = 0; i < element->children.size(); i++)
    if (send_event(event, element->children[i], mode, nullptr) == GUI_HANDLED) return GUI_HANDLED;
  return GUI_UNHANDLED;
}

int NewGuiHittestHandler::handle(NewGuiEvent& event, GuiElement* element, int mode) {
  if (event.mask != GUI_EVENT_HITTEST) return GUI_UNHANDLED;
  if (element->isHitTransparent()) return GUI_UNHANDLED;
  if (offer_to_children(event, element, mode) == GUI_HANDLED) return GUI_HANDLED;
  NewGuiHittestEvent& hit = static_cast<NewGuiHittestEvent&>(event);
  if (!contains(element, hit.x, hit.y)) return GUI_HANDLED_NO_DESCENT;
  hit.result = element;
  return GUI_HANDLED;
}

bool NewGuiHittestHandler::contains(GuiElement* element, float x, float y) {
  return rect_contains(element->rect, x, y);
}

int TooltipBoxBehavior::handle(NewGuiEvent& event, GuiElement* element, int mode) {
  if (event.mask != GUI_EVENT_TOOLTIP || !element) return GUI_UNHANDLED;
  if (!element->isActive()) return GUI_HANDLED_NO_DESCENT;
  if (offer_to_children(event, element, mode) == GUI_HANDLED) return GUI_HANDLED;
  NewGuiTooltipEvent& tip = static_cast<NewGuiTooltipEvent&>(event);
  return showTooltipAt(element, tip.x, tip.y);
}

int TooltipBoxBehavior::showTooltipAt(GuiElement* element, float x, float y) {
  if (!rect_contains(element->rect, x, y)) return GUI_HANDLED_NO_DESCENT;
  const String* text = element->findValue<String>(GUI_PROP_TOOLTIP);
  if (!text || text->isEmpty())
    gui_hide_tooltip();
  else
    gui_show_tooltip(text, element->rect);
  return GUI_HANDLED;
}
