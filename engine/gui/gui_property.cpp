#include "engine/gui/gui_property.h"

#include "engine/gui/gui_style.h"

BaseGuiProperty::~BaseGuiProperty() {
  // The chain is destroyed link by link here rather than by recursion through
  // each destructor, so a long chain cannot exhaust the stack.
  BaseGuiProperty* p = next;
  next = nullptr;
  while (p) {
    BaseGuiProperty* following = p->next;
    p->next = nullptr;
    delete p;
    p = following;
  }
}

bool gui_value_equal(const String& a, const String& b) { return a == b; }

GuiTransitionProperty::GuiTransitionProperty(GuiTransition* transition_, const uint8_t* ids_, BaseGuiProperty* next_)
    : BaseGuiProperty(GUI_PROP_TRANSITION, next_), transition(transition_), ids(ids_) {}

GuiTransitionProperty::~GuiTransitionProperty() { delete transition; }

void delete_gui_property_chain(BaseGuiProperty* head) { delete head; }
