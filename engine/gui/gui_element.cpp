#include "engine/gui/gui_element.h"

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/gui_style.h"
#include "engine/gui/gui_utf8.h"

GuiElement::~GuiElement() {
  gui_element_destroyed(this);
  gui_style_element_destroyed(this);
  if (parent) {
    DynArray<GuiElement*>& siblings = parent->children;
    for (int i = 0; i < siblings.size(); i++) {
      if (siblings[i] == this) {
        siblings.remove(i, 1);
        break;
      }
    }
    parent = nullptr;
  }
  while (!children.isEmpty()) {
    GuiElement* child = children.last();
    children.remove(children.size() - 1, 1);
    child->parent = nullptr;
    delete child;
  }
  destroyAnimators();
  delete ownProps;
  ownProps = nullptr;
}

__m128 GuiElement::charPosition(int) {
  alignas(16) float r[4];
  _mm_store_ps(r, inner);
  return _mm_setr_ps(r[0], r[1], r[0], r[3]);
}

void GuiElement::layout(__m128 r, int scale_) {
  rect = r;
  inner = r;
  scale = scale_ < 1 ? 1 : scale_;
  for (int i = 0; i < children.size(); i++) {
    GuiElement* child = children[i];
    // (left, top, right, bottom) in unscaled units: the child's edges move in
    // from the content rectangle's edges.
    __m128 off = _mm_mul_ps(child->getOffsets(true), _mm_set1_ps((float)scale));
    __m128 sign = _mm_setr_ps(1, 1, -1, -1);
    child->layout(_mm_add_ps(inner, _mm_mul_ps(off, sign)), scale);
  }
}

GuiElement* GuiElement::findChildWithFlag(int bit) {
  for (int i = 0; i < children.size(); i++)
    if (children[i]->hasFlag(bit)) return children[i];
  return nullptr;
}

bool GuiElement::addBehavior(const char* name) {
  NewGuiEventHandler* handler = get_behavior(name);
  if (!handler) return false;
  return addBehavior(handler);
}

bool GuiElement::addBehavior(NewGuiEventHandler* handler) {
  if (!handler) return false;
  if (hasBehavior(handler)) return true;
  behaviors.push(&handler);
  handler->attach(this);
  eventMask |= handler->mask;
  return true;
}

bool GuiElement::hasBehavior(const NewGuiEventHandler* handler) const {
  if (!handler) return false;
  for (int i = 0; i < behaviors.size(); i++)
    if (behaviors[i] == handler) return true;
  return false;
}

int GuiElement::processEvent(NewGuiEvent& event, int mode) {
  if (!(event.mask & eventMask) || behaviors.isEmpty()) return GUI_UNHANDLED;
  for (int i = 0; i < behaviors.size(); i++) {
    NewGuiEventHandler* handler = behaviors[i];
    if (!(handler->mask & event.mask)) continue;
    int r = handler->handle(event, this, mode);
    if (r) return r;
  }
  return GUI_UNHANDLED;
}

void GuiElement::markDirty() {
  dirty = 1;
  if (parent) parent->dirty = 1;
}

int GuiElement::addOwnProperty(BaseGuiProperty* p) {
  ASSERT(p->id>=0 && p->id<NUM_GUI_PROPS);
  p->next = ownProps;
  ownProps = p;
  props[p->id] = (uintptr_t)p | 1;
  return p->id;
}

void GuiElement::setText(const String& value, bool quiet) {
  setOwnValue(GUI_PROP_TEXT, value, quiet);
  const String* text = findValue<String>(GUI_PROP_TEXT);
  int pos = getInsertPos();
  int clamped = utf8_floor_boundary(text->c_str(), text->len(), pos);
  if (clamped != pos) setInsertPos(clamped, quiet);
}

String GuiElement::getText() const {
  const String* s = findValue<String>(GUI_PROP_TEXT);
  return s ? *s : String();
}

String GuiElement::getTooltip() const {
  const String* s = findValue<String>(GUI_PROP_TOOLTIP);
  return s ? *s : String();
}

int GuiElement::textLength() const {
  const String* s = findValue<String>(GUI_PROP_TEXT);
  return s ? s->len() : 0;
}

__m128 GuiElement::getOffsets(bool animated) {
  __m128 stored = readValue<__m128>(GUI_PROP_OFFSETS, _mm_setzero_ps());
  return animated ? animate(GUI_PROP_OFFSETS, stored) : stored;
}

__m128 GuiElement::animate(int id, __m128 stored) {
  GuiAnimator* a = animators[id];
  return a ? a->current(stored, gui_time_dt()) : stored;
}

void GuiElement::getAnimValues(__m128 out[NUM_GUI_PROPS]) const {
  for (int id = 0; id < NUM_GUI_PROPS; id++) out[id] = _mm_setzero_ps();
  for (int id : {GUI_PROP_COLOR_A, GUI_PROP_COLOR_B, GUI_PROP_COLOR_C})
    out[id] = d3d_to_color(readValue<uint32_t>(id, GUI_DEFAULT_COLOR));
  for (int id : {GUI_PROP_OFFSETS, GUI_PROP_VECTOR_A, GUI_PROP_VECTOR_B})
    out[id] = readValue<__m128>(id, _mm_setzero_ps());
  for (int id : {GUI_PROP_SCALAR_A, GUI_PROP_SCALAR_B, GUI_PROP_SCALAR_C, GUI_PROP_SCALAR_D, GUI_PROP_SCALAR_E})
    out[id] = _mm_set1_ps(readValue<float>(id, 0.0f));
}

void GuiElement::destroyAnimators() {
  for (int id = 0; id < NUM_GUI_PROPS; id++) {
    delete animators[id];
    animators[id] = nullptr;
  }
}
