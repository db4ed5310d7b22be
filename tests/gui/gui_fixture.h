#pragma once
// Shared fixture of the GUI tests: a scripted host (input events, mouse state,
// tooltip calls, screen size) and helpers to build element trees by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gui/gui_runtime.h"

struct TestHost {
  std::vector<GuiInput> events;
  size_t next = 0;
  float mouseX = 0, mouseY = 0;
  bool blocked = false, over = true;
  int width = 640, height = 480;
  float dt = 0.05f;
  int hideCount = 0;
  std::vector<std::string> shown; // tooltip texts shown, in order
};

extern TestHost test_host;

// Installs the test host, registers the standard behaviours and empties the
// queues; undoes it all afterwards.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// An element with a given rect and name.
class TestElement : public GuiElement {
 public:
  std::string name;
  bool active = true;
  bool hitTransparent = false;
  explicit TestElement(std::string n = "") : name(std::move(n)) {}
  bool isActive() override { return active; }
  bool isHitTransparent() override { return hitTransparent; }
  // Glyphs are 8 pixels wide per byte of text.
  __m128 charPosition(int index) override;
};

TestElement* make_element(GuiElement* parent, const char* name, float x0, float y0, float x1, float y1,
                          std::initializer_list<const char*> behaviors = {});

// Input records.
GuiInput mouse_event(int type, float x, float y, uint32_t modifiers = 0, int code = 1);
GuiInput key_event(int code, uint32_t character = 0, int type = GuiInput::KEY_DOWN);

// Queues events for the next processInput and moves the mouse to the last one.
void feed(std::initializer_list<GuiInput> events);

float lane(__m128 v, int i);
