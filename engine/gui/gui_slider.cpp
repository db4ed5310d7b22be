// "h_slider": dragging the knob along the content rectangle sets the value
// between the minimum and the maximum.
#include <algorithm>

#include "engine/gui/gui_behaviors.h"

static float width_of(__m128 r) { return v_lane(r, 2) - v_lane(r, 0); }

// The length the knob's left edge can travel: the content width minus the
// knob's width, never negative (a knob as wide as the track cannot move).
static float track_length(GuiElement* slider, GuiElement* knob) {
  return std::max(width_of(slider->inner) - width_of(knob->rect), 0.0f);
}

static void place_knob(GuiElement* slider, GuiElement* knob, double f, float track) {
  float scale = (float)std::max(slider->scale, 1);
  float left = (float)(f * track);
  __m128 cur = knob->getOffsets(true);
  knob->setOffsets(_mm_setr_ps(left / scale, v_lane(cur, 1), (track - left) / scale, v_lane(cur, 3)));
}

void HSliderBehavior::setKnobFraction(GuiElement* element, double f) {
  GuiElement* knob = element->findChildWithFlag(GUI_FLAG_KNOB);
  if (!knob) return;
  // Written so that a fraction that is not a number (a NaN value or an
  // infinite range) also gives 0 rather than a knob at NaN offsets.
  f = f > 0 ? std::min(f, 1.0) : 0.0;
  place_knob(element, knob, f, track_length(element, knob));
}

static void drag_knob(GuiElement* slider, float x) {
  GuiElement* knob = slider->findChildWithFlag(GUI_FLAG_KNOB);
  if (!knob) return;
  float track = track_length(slider, knob);
  double f = 0;
  if (track > 0) {
    f = (x - width_of(knob->rect) * 0.5f - v_lane(slider->inner, 0)) / track;
    f = std::clamp(f, 0.0, 1.0);
    double mn = slider->getSliderMin(), mx = slider->getSliderMax();
    double value = (1 - f) * mn + f * mx;
    if (value != slider->getSliderValue()) {
      slider->setSliderValue(value);
      slider->changeSignal.fire(slider);
    }
  }
  place_knob(slider, knob, f, track);
}

int HSliderBehavior::handle(NewGuiEvent& event, GuiElement* element, int) {
  if (event.mask == GUI_EVENT_NOTIFY) {
    if (static_cast<NewGuiNotifyEvent&>(event).code != GUI_NOTIFY_PLACE_KNOB) return GUI_UNHANDLED;
    double mn = element->getSliderMin(), range = element->getSliderMax() - mn;
    if (range == 0) range = 1;
    setKnobFraction(element, (element->getSliderValue() - mn) / range);
    return GUI_HANDLED;
  }
  if (event.mask == GUI_EVENT_RESET) {
    element->setPressed(false);
    element->setHovered(false);
    return GUI_UNHANDLED;
  }
  if (!element->isActive()) return GUI_UNHANDLED;

  element->setHovered(gui_pointer_hovers(element, event));
  NewGuiInputEvent& in = static_cast<NewGuiInputEvent&>(event);
  if (!in.buttonsHeld()) {
    element->setPressed(false);
  } else {
    element->setPressed(true);
    drag_knob(element, in.input.x);
  }
  return GUI_HANDLED;
}

void HSliderBehavior::attach(GuiElement* element) {
  element->setPressed(false);
  element->setHovered(false);
}

void HSliderBehavior::detach(GuiElement* element) { attach(element); }
