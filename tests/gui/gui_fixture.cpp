#include "gui_fixture.h"

TestHost test_host;

static bool host_get_event(GuiInput* out) {
  if (test_host.next >= test_host.events.size()) return false;
  *out = test_host.events[test_host.next++];
  return true;
}

void GuiTest::SetUp() {
  test_host = TestHost();
  gui_host.get_event = host_get_event;
  gui_host.get_mouse_pos = [](float* x, float* y) {
    *x = test_host.mouseX;
    *y = test_host.mouseY;
  };
  gui_host.is_mouse_blocked = [] { return test_host.blocked; };
  gui_host.is_mouse_over = [] { return test_host.over; };
  gui_host.hide_tooltip = [] { test_host.hideCount++; };
  gui_host.show_tooltip = [](const String* text, __m128) { test_host.shown.push_back(text->c_str()); };
  gui_host.get_screen_size = [](int* w, int* h) {
    *w = test_host.width;
    *h = test_host.height;
  };
  gui_host.get_time_dt = [] { return test_host.dt; };
  clear_behavior_registry();
  register_std_behaviors();
}

void GuiTest::TearDown() {
  destroy_queued_gui_elements();
  clear_behavior_registry();
  gui_host = GuiHost();
}

__m128 TestElement::charPosition(int index) { return _mm_setr_ps(lane(inner, 0) + 8.0f * index, 0, 0, 0); }

TestElement* make_element(GuiElement* parent, const char* name, float x0, float y0, float x1, float y1,
                          std::initializer_list<const char*> behaviors) {
  TestElement* e = new TestElement(name);
  e->rect = _mm_setr_ps(x0, y0, x1, y1);
  e->inner = e->rect;
  if (parent) parent->addChild(e);
  for (const char* b : behaviors) EXPECT_TRUE(e->addBehavior(b)) << b;
  return e;
}

GuiInput mouse_event(int type, float x, float y, uint32_t modifiers, int code) {
  GuiInput in;
  in.type = type;
  in.code = code;
  in.modifiers = modifiers;
  in.x = x;
  in.y = y;
  return in;
}

GuiInput key_event(int code, uint32_t character, int type) {
  GuiInput in;
  in.type = type;
  in.code = code;
  in.character = character;
  return in;
}

void feed(std::initializer_list<GuiInput> events) {
  // Key events happen where the mouse is; mouse events move it.
  for (GuiInput e : events) {
    if (e.type == GuiInput::KEY_DOWN || e.type == GuiInput::KEY_UP) {
      e.x = test_host.mouseX;
      e.y = test_host.mouseY;
    } else {
      test_host.mouseX = e.x;
      test_host.mouseY = e.y;
    }
    test_host.events.push_back(e);
  }
}

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}
