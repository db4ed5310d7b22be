#pragma once
// Style sheets: a style is an ordered list of sheets, each a selector with a
// chain of property values. Restyling applies the matching sheets in priority
// order under the element's own values, attaches the behaviours they name and
// starts transitions of the properties whose values changed.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/dynarray.h"
#include "engine/gui/gui_property.h"

class GuiElement;

// Selector (module classes): which elements a sheet applies to.
struct GuiSelector {
  virtual ~GuiSelector() {}
  virtual bool match(GuiElement* element) = 0;
  virtual int priority() = 0;
};

// Animates one four-float property value (module classes). The element owns
// its animators.
struct GuiAnimator {
  virtual ~GuiAnimator() {}
  virtual void start(__m128 oldValue) = 0;
  // The value to show now for the stored value `target`, advancing by dt.
  virtual __m128 current(__m128 target, float dt) = 0;
};

// Makes animators (module classes); owned by its sheet entry.
struct GuiTransition {
  virtual ~GuiTransition() {}
  virtual GuiAnimator* makeAnimator() = 0;
};

class GuiStyle {
 public:
  struct Sheet {
    GuiSelector* selector = nullptr; // owned
    BaseGuiProperty* props = nullptr;    // owned chain
    int32_t priority = 0;

    Sheet() = default;
    Sheet(GuiSelector* s, BaseGuiProperty* p, int32_t prio) : selector(s), props(p), priority(prio) {}
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;
    ~Sheet();
  };

  DynArray<Sheet*> sheets; // owned, in order of addition

  GuiStyle() = default;
  GuiStyle(const GuiStyle&) = delete;
  GuiStyle& operator=(const GuiStyle&) = delete;
  // Frees the sheets only: at exit the screen list may be gone before a style.
  ~GuiStyle() { deleteSheets(); }

  // Takes ownership of both; the priority is asked of the selector now.
  void addSheet(GuiSelector* selector, BaseGuiProperty* props);
  // Destroys every sheet; the list stays usable. Every element that borrows values
  // of these sheets (under a live screen or not) drops them and is marked dirty.
  void clear();
  int size() const { return sheets.size(); }
  // Re-evaluates element (when force or dirty) and its subtree.
  void restyle(GuiElement* element, bool force);

 private:
  void deleteSheets();
};

// Called by an element's destructor: the element borrows nothing any more.
void gui_style_element_destroyed(GuiElement* element);

// Property ids that transitions animate.
bool gui_prop_is_animatable(int id);

extern GuiStyle common_style;
extern GuiStyle hud_style;
extern GuiStyle tooltip_style;
