#pragma once
// Typed property values of GUI elements and style sheets. A property is one
// link of a chain; destroying a property destroys the rest of its chain.
#include <cstdint>
#include <xmmintrin.h>

#include "engine/core/geometry.h"
#include "engine/core/strings.h"

// Property ids fixed by the runtime; the module defines the others (0, 3-5,
// 7-9, 11, 20, 21).
enum : int32_t {
  GUI_PROP_TRANSITION = -2, // sheet-only: transition and the ids it animates
  GUI_PROP_BEHAVIORS = -1,  // sheet-only: names of behaviours to attach
  GUI_PROP_TEXT = 1,
  GUI_PROP_COLOR_A = 2,
  GUI_PROP_COLOR_B = 6,
  GUI_PROP_COLOR_C = 10,
  GUI_PROP_OFFSETS = 12,
  GUI_PROP_VECTOR_A = 13,
  GUI_PROP_VECTOR_B = 14,
  GUI_PROP_SCALAR_A = 15,
  GUI_PROP_SCALAR_B = 16,
  GUI_PROP_PRESSED = 17,
  GUI_PROP_CHECKED = 18,
  GUI_PROP_HOVERED = 19,
  GUI_PROP_SLIDER_VALUE = 22,
  GUI_PROP_SLIDER_MIN = 23,
  GUI_PROP_SLIDER_MAX = 24,
  GUI_PROP_INSERT_POS = 25,
  GUI_PROP_SCALAR_C = 26,
  GUI_PROP_SCALAR_D = 27,
  GUI_PROP_SCALAR_E = 28,
  GUI_PROP_TOOLTIP = 29,
  NUM_GUI_PROPS = 30,
};

// The colour a colour property reads as when it is unset.
constexpr uint32_t GUI_DEFAULT_COLOR = 0xFF7F7F7F;

struct BaseGuiProperty {
  BaseGuiProperty* next = nullptr;
  int32_t id = 0;

  BaseGuiProperty(int32_t id_, BaseGuiProperty* next_) : next(next_), id(id_) {}
  BaseGuiProperty(const BaseGuiProperty&) = delete;
  BaseGuiProperty& operator=(const BaseGuiProperty&) = delete;
  virtual ~BaseGuiProperty();
};

// Value equality as the compare-and-set sees it: floats compare ordered (NaN
// never equals), vectors compare all four lanes, strings compare length and
// bytes (a null string equals an empty one).
// Value types of the module's own properties compare with their ==.
template <class T>
inline bool gui_value_equal(const T& a, const T& b) {
  return a == b;
}
inline bool gui_value_equal(int32_t a, int32_t b) { return a == b; }
inline bool gui_value_equal(uint32_t a, uint32_t b) { return a == b; }
inline bool gui_value_equal(bool a, bool b) { return a == b; }
inline bool gui_value_equal(float a, float b) { return a == b; }
inline bool gui_value_equal(double a, double b) { return a == b; }
inline bool gui_value_equal(__m128 a, __m128 b) { return v_sign_bits(v_cmpeq(a, b)) == 0xF; }
bool gui_value_equal(const String& a, const String& b);

template <class T>
struct GuiProperty : BaseGuiProperty {
  T value;

  GuiProperty(int32_t id_, const T& value_, BaseGuiProperty* next_ = nullptr)
      : BaseGuiProperty(id_, next_), value(value_) {}

  T* valueAddr() { return &value; }
  const T* valueAddr() const { return &value; }

  // Stores v; true only when it differs from the stored value.
  bool set(const T& v) {
    if (gui_value_equal(value, v)) return false;
    value = v;
    return true;
  }
};

// Four-float properties (colours as vectors, offsets, rectangles). Naming the
// template with __m128 drops its aliasing attribute, which is harmless here
// (the value is only copied and compared), so the warning is silenced once.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wignored-attributes"
using GuiVec4Property = GuiProperty<__m128>;
#pragma GCC diagnostic pop

// A sheet entry naming behaviours: `names` is a list of NUL-terminated names
// ended by an empty name ("button\0sound\0"), not owned.
struct GuiBehaviorsProperty : BaseGuiProperty {
  const char* names;
  GuiBehaviorsProperty(const char* names_, BaseGuiProperty* next_ = nullptr)
      : BaseGuiProperty(GUI_PROP_BEHAVIORS, next_), names(names_) {}
};

struct GuiTransition;

// A sheet entry starting transitions: `ids` is a NUL-terminated list of bytes,
// each a property id plus one; an empty list means every id. The entry owns
// its transition; the id list is not owned.
struct GuiTransitionProperty : BaseGuiProperty {
  GuiTransition* transition;
  const uint8_t* ids;
  GuiTransitionProperty(GuiTransition* transition_, const uint8_t* ids_, BaseGuiProperty* next_ = nullptr);
  ~GuiTransitionProperty() override;
};

// Destroys a whole chain starting at head (null allowed).
void delete_gui_property_chain(BaseGuiProperty* head);
