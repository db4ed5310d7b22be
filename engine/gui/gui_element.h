#pragma once
// GUI elements: one node of a retained tree with typed property slots, the
// behaviours that react to its events, per-property animators and signals.
// The module derives its element classes (panels, labels, buttons, ...) from
// GuiElement; the runtime reads and writes the common data below.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/dynarray.h"
#include "engine/core/strings.h"
#include "engine/gui/gui_property.h"
#include "engine/gui/gui_signal.h"

struct NewGuiEventHandler;
struct NewGuiEvent;
struct GuiAnimator;

// Class flags (bits 0..25 of GuiElement::flags) tested by selectors and behaviours.
enum : int {
  GUI_FLAG_CARET = 4, // the caret child of a text input
  GUI_FLAG_KNOB = 10, // the knob child of a slider
  NUM_GUI_FLAGS = 26,
};

class GuiElement;
using BaseGuiElement = GuiElement;

class GuiElement {
 public:
  GuiElement* parent = nullptr;
  DynArray<GuiElement*> children;           // index order: hit testing, event descent, restyling
  DynArray<NewGuiEventHandler*> behaviors;  // attach order, never two copies of one
  uint32_t eventMask = 0;                   // OR of the attached behaviours' masks
  // Tagged property pointers: low bit 1 = own value (in ownProps), 0 = borrowed
  // from a style sheet; 0 = unset.
  uintptr_t props[NUM_GUI_PROPS] = {};
  BaseGuiProperty* ownProps = nullptr;      // own values, newest first
  GuiAnimator* animators[NUM_GUI_PROPS] = {};
  uint32_t flags = 0;
  uint8_t dirty = 1;                        // new elements are styled on the next restyle
  __m128 rect = _mm_setzero_ps();           // outer rectangle x0, y0, x1, y1 (pixels)
  __m128 inner = _mm_setzero_ps();          // content rectangle
  int32_t scale = 1;                        // pixel scale of the last layout

  Signal<> pressSignal;
  Signal<> releaseSignal;
  Signal<bool> clickStateSignal;
  Signal<bool> checkSignal;
  Signal<GuiElement*, bool> hoverSignal;
  Signal<GuiElement*, int> clickSignal;
  Signal<GuiElement*> changeSignal;
  Signal<GuiElement*> enterSignal;
  Signal<GuiElement*> escapeSignal;

  GuiElement() = default;
  GuiElement(const GuiElement&) = delete;
  GuiElement& operator=(const GuiElement&) = delete;

  // Destroying an element destroys its subtree, takes it out of its parent and
  // out of the destruction queue, and tells every live screen (which forgets
  // it as root, hovered or captured element).
  virtual ~GuiElement();
  // True: the element itself is never hit, its children still are.
  virtual bool isHitTransparent() { return false; }
  // False: buttons, sliders, text inputs and tooltip boxes ignore input.
  virtual bool isActive() { return true; }
  // Pixel position of a character index of the element's text (x is used).
  // Without a font this element knows no glyph widths: the content's left edge.
  virtual __m128 charPosition(int index);
  // Lays the element out inside r: this one fills r; each child fills the
  // content rectangle shrunk by its offsets (GUI_PROP_OFFSETS) times scale.
  virtual void layout(__m128 r, int scale_);

  // Tree.
  void addChild(GuiElement* child);
  GuiElement* getChild(int index) { return children[index]; }
  GuiElement* findChildWithFlag(int bit);

  // Behaviours: false for an unknown name; attaching one already attached does
  // nothing and answers true.
  bool addBehavior(const char* name);
  bool addBehavior(NewGuiEventHandler* handler);
  bool hasBehavior(const NewGuiEventHandler* handler) const;
  // Offers an event to the behaviours whose mask shares a bit with it, in
  // attach order; the first non-zero answer, else 0.
  int processEvent(NewGuiEvent& event, int mode);

  bool hasFlag(int bit) const { return bit >= 0 && bit < NUM_GUI_FLAGS && (flags >> bit) & 1; }
  void setFlag(int bit) { flags |= 1u << bit; }
  void markDirty();

  // Property slots.
  BaseGuiProperty* getProp(int id) const { return (BaseGuiProperty*)(props[id] & ~(uintptr_t)1); }
  bool hasOwnProp(int id) const { return props[id] & 1; }
  // Takes ownership of p and stores it as the element's own value of p->id.
  int addOwnProperty(BaseGuiProperty* p);
  template <class T>
  const T* findValue(int id) const {
    BaseGuiProperty* p = getProp(id);
    return p ? &static_cast<GuiProperty<T>*>(p)->value : nullptr;
  }
  template <class T>
  T readValue(int id, T fallback) const {
    const T* v = findValue<T>(id);
    return v ? *v : fallback;
  }
  // Own-value setter: an equal own value changes nothing; else the own value is
  // stored (created when missing) and, unless quiet, the element and its parent
  // are marked dirty.
  template <class T>
  void setOwnValue(int id, const T& value, bool quiet) {
    if (hasOwnProp(id)) {
      if (!static_cast<GuiProperty<T>*>(getProp(id))->set(value)) return;
    } else {
      addOwnProperty(new GuiProperty<T>(id, value));
    }
    if (!quiet) markDirty();
  }

  // Setting the text keeps the insertion point inside it (and on a character
  // boundary), so a shortened text never leaves the point past its end.
  void setText(const String& value, bool quiet = false);
  void setTooltip(const String& value, bool quiet = false) { setOwnValue(GUI_PROP_TOOLTIP, value, quiet); }
  void setOffsets(__m128 value, bool quiet = false) { setOwnValue(GUI_PROP_OFFSETS, value, quiet); }
  void setPressed(bool value, bool quiet = false) { setOwnValue(GUI_PROP_PRESSED, value, quiet); }
  void setChecked(bool value, bool quiet = false) { setOwnValue(GUI_PROP_CHECKED, value, quiet); }
  void setHovered(bool value, bool quiet = false) { setOwnValue(GUI_PROP_HOVERED, value, quiet); }
  void setSliderValue(double value, bool quiet = false) { setOwnValue(GUI_PROP_SLIDER_VALUE, value, quiet); }
  void setInsertPos(int value, bool quiet = false) { setOwnValue<int32_t>(GUI_PROP_INSERT_POS, value, quiet); }

  String getText() const;
  String getTooltip() const;
  int textLength() const;
  bool isPressed() const { return readValue<bool>(GUI_PROP_PRESSED, false); }
  bool isChecked() const { return readValue<bool>(GUI_PROP_CHECKED, false); }
  bool isHovered() const { return readValue<bool>(GUI_PROP_HOVERED, false); }
  double getSliderValue() const { return readValue<double>(GUI_PROP_SLIDER_VALUE, 0.0); }
  double getSliderMin() const { return readValue<double>(GUI_PROP_SLIDER_MIN, 0.0); }
  double getSliderMax() const { return readValue<double>(GUI_PROP_SLIDER_MAX, 1.0); }
  int getInsertPos() const { return readValue<int32_t>(GUI_PROP_INSERT_POS, 0); }
  // The offsets; animated = true asks the animator of GUI_PROP_OFFSETS (if
  // any) for the value to show now, which advances it by the step time.
  __m128 getOffsets(bool animated);
  // The value to show now of a four-float property: its animator's current
  // value for `stored` as target, or stored itself without an animator.
  __m128 animate(int id, __m128 stored);

  // The four-float value of every property id as a transition starts from it:
  // colours as (r, g, b, a) / 255, vectors as stored, floats in all lanes.
  void getAnimValues(__m128 out[NUM_GUI_PROPS]) const;
  void destroyAnimators();
};

// Adds child to parent's children (the parent takes ownership).
inline void GuiElement::addChild(GuiElement* child) {
  child->parent = this;
  children.push(&child);
  markDirty();
}
