#include "engine/gui/gui_style.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "engine/core/fatal.h"
#include "engine/gui/gui_element.h"
#include "engine/gui/gui_event.h"

GuiStyle common_style;
GuiStyle hud_style;
GuiStyle tooltip_style;

// Indices of the sheets that match the element being evaluated; emptied at the
// start of each evaluation and consumed before the recursion into children.
static DynArray<int> matched_sheets;

GuiStyle::Sheet::~Sheet() {
  delete selector;
  delete props;
}

void GuiStyle::addSheet(GuiSelector* selector, BaseGuiProperty* props) {
  // Without a selector the sheet could never be matched; its values are
  // still ours to free.
  if (!selector) {
    delete props;
    return;
  }
  Sheet* sheet = new Sheet(selector, props, selector->priority());
  sheets.push(&sheet);
}

// Every element that holds a value borrowed from a sheet, wherever it is: under a
// live screen, in a subtree the module keeps aside, a tooltip. Never destroyed, since
// elements may outlive this file's globals at exit.
static std::unordered_set<GuiElement*>& borrowers() {
  static auto* elements = new std::unordered_set<GuiElement*>;
  return *elements;
}

static bool borrows_values(const GuiElement* element) {
  for (int id = 0; id < NUM_GUI_PROPS; id++)
    if (element->props[id] && !(element->props[id] & 1)) return true;
  return false;
}

void gui_style_element_destroyed(GuiElement* element) { borrowers().erase(element); }

// Drops from element every borrowed slot found in values (sorted); an element that
// lost one is re-evaluated on the next restyle.
static void drop_borrowed_values(GuiElement* element, const std::vector<uintptr_t>& values) {
  for (int id = 0; id < NUM_GUI_PROPS; id++) {
    uintptr_t slot = element->props[id];
    if (!slot || (slot & 1) || !std::binary_search(values.begin(), values.end(), slot)) continue;
    element->props[id] = 0;
    element->dirty = 1;
  }
}

void GuiStyle::clear() {
  // Elements may still point at values of these sheets (the module that built them
  // is going away, say): they forget them first.
  std::vector<uintptr_t> values;
  for (int i = 0; i < sheets.size(); i++)
    for (BaseGuiProperty* p = sheets[i]->props; p; p = p->next) values.push_back((uintptr_t)p);
  if (!values.empty()) {
    std::sort(values.begin(), values.end());
    std::vector<GuiElement*> done;
    for (GuiElement* element : borrowers()) {
      drop_borrowed_values(element, values);
      if (!borrows_values(element)) done.push_back(element);
    }
    for (GuiElement* element : done) borrowers().erase(element);
  }
  deleteSheets();
}

void GuiStyle::deleteSheets() {
  for (int i = 0; i < sheets.size(); i++) delete sheets[i];
  sheets.clear();
}

bool gui_prop_is_animatable(int id) {
  switch (id) {
    case GUI_PROP_COLOR_A: case GUI_PROP_COLOR_B: case GUI_PROP_COLOR_C:
    case GUI_PROP_OFFSETS: case GUI_PROP_VECTOR_A: case GUI_PROP_VECTOR_B:
    case GUI_PROP_SCALAR_A: case GUI_PROP_SCALAR_B: case GUI_PROP_SCALAR_C:
    case GUI_PROP_SCALAR_D: case GUI_PROP_SCALAR_E:
      return true;
    default:
      return false;
  }
}

static void attach_named_behaviors(GuiElement* element, const char* names) {
  // A missing list names nothing, like an empty one.
  if (!names) return;
  for (const char* name = names; *name; name += strlen(name) + 1) element->addBehavior(name);
}

static void set_transitions(GuiTransition* table[NUM_GUI_PROPS], const GuiTransitionProperty* entry) {
  const uint8_t* s = entry->ids;
  if (!s || !*s) {
    for (int id = 0; id < NUM_GUI_PROPS; id++) table[id] = entry->transition;
    return;
  }
  for (; *s; s++) {
    ASSERT(*s>0 && *s<=NUM_GUI_PROPS);
    table[*s - 1] = entry->transition;
  }
}

static void start_transitions(GuiElement* element, GuiTransition* table[NUM_GUI_PROPS], const __m128 old[NUM_GUI_PROPS]) {
  for (int id = 0; id < NUM_GUI_PROPS; id++) {
    if (!table[id] || !gui_prop_is_animatable(id)) continue;
    GuiAnimator* animator = table[id]->makeAnimator();
    element->animators[id] = animator;
    if (animator) animator->start(old[id]);
  }
}

void GuiStyle::restyle(GuiElement* element, bool force) {
  if (!element) return;
  if (!force && !element->dirty) {
    for (int i = 0; i < element->children.size(); i++) restyle(element->children[i], false);
    return;
  }

  matched_sheets.clear();
  for (int i = 0; i < sheets.size(); i++)
    if (sheets[i]->selector->match(element)) matched_sheets.push(&i);
  // Ascending priority, then order of addition: later entries override earlier
  // ones. Compared, not subtracted, so extreme priorities cannot overflow.
  std::sort(matched_sheets.begin(), matched_sheets.end(), [this](int a, int b) {
    int32_t pa = sheets[a]->priority, pb = sheets[b]->priority;
    return pa != pb ? pa < pb : a < b;
  });

  GuiTransition* transitions[NUM_GUI_PROPS] = {};
  uintptr_t slots[NUM_GUI_PROPS];
  for (int id = 0; id < NUM_GUI_PROPS; id++) slots[id] = element->hasOwnProp(id) ? element->props[id] : 0;

  for (int m = 0; m < matched_sheets.size(); m++) {
    for (BaseGuiProperty* p = sheets[matched_sheets[m]]->props; p; p = p->next) {
      if (p->id == GUI_PROP_BEHAVIORS) {
        attach_named_behaviors(element, static_cast<GuiBehaviorsProperty*>(p)->names);
      } else if (p->id == GUI_PROP_TRANSITION) {
        set_transitions(transitions, static_cast<GuiTransitionProperty*>(p));
      } else if (p->id >= 0 && p->id < NUM_GUI_PROPS) {
        if (!(slots[p->id] & 1)) slots[p->id] = (uintptr_t)p;
      }
    }
  }

  // Attaching a behaviour may have given the element new own values (a
  // checkbox makes its checked state its own); own values always win.
  for (int id = 0; id < NUM_GUI_PROPS; id++)
    if (element->hasOwnProp(id)) slots[id] = element->props[id];

  if (memcmp(slots, element->props, sizeof(slots)) != 0) {
    alignas(16) __m128 old[NUM_GUI_PROPS];
    element->getAnimValues(old);
    element->destroyAnimators();
    memcpy(element->props, slots, sizeof(slots));
    start_transitions(element, transitions, old);
    if (borrows_values(element))
      borrowers().insert(element);
    else
      borrowers().erase(element);
  }

  element->dirty = 0;
  for (int i = 0; i < element->children.size(); i++) restyle(element->children[i], true);
}
