#include <cmath>
#include <limits>

#include "gui_fixture.h"

using GuiPropertyTest = GuiTest;

TEST_F(GuiPropertyTest, CompareAndSetReportsOnlyRealChanges) {
  GuiProperty<double> d(GUI_PROP_SLIDER_VALUE, 1.0);
  EXPECT_FALSE(d.set(1.0));
  EXPECT_TRUE(d.set(2.0));
  double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(d.set(nan));
  EXPECT_TRUE(d.set(nan)) << "a NaN never equals the stored value";

  GuiVec4Property v(GUI_PROP_OFFSETS, _mm_setr_ps(1, 2, 3, 4));
  EXPECT_FALSE(v.set(_mm_setr_ps(1, 2, 3, 4)));
  EXPECT_TRUE(v.set(_mm_setr_ps(1, 2, 3, 5))) << "the fourth lane counts too";

  GuiProperty<String> s(GUI_PROP_TEXT, String());
  EXPECT_FALSE(s.set(String(""))) << "a null string equals an empty one";
  EXPECT_TRUE(s.set(String("ab")));
  EXPECT_FALSE(s.set(String("ab")));
  EXPECT_TRUE(s.set(String("abc")));
}

TEST_F(GuiPropertyTest, GettersGiveDefaultsWhenUnset) {
  GuiElement e;
  EXPECT_FALSE(e.isPressed());
  EXPECT_FALSE(e.isChecked());
  EXPECT_FALSE(e.isHovered());
  EXPECT_EQ(e.getSliderValue(), 0.0);
  EXPECT_EQ(e.getSliderMin(), 0.0);
  EXPECT_EQ(e.getSliderMax(), 1.0);
  EXPECT_EQ(e.getInsertPos(), 0);
  EXPECT_TRUE(e.getText().isEmpty());
  EXPECT_TRUE(e.getTooltip().isEmpty());
  EXPECT_EQ(_mm_movemask_ps(_mm_cmpeq_ps(e.getOffsets(false), _mm_setzero_ps())), 0xF);
}

TEST_F(GuiPropertyTest, OwnSetterMarksDirtyOnlyOnChange) {
  GuiElement parent;
  GuiElement* child = new GuiElement;
  parent.addChild(child);
  parent.dirty = child->dirty = 0;

  child->setChecked(true);
  EXPECT_TRUE(child->isChecked());
  EXPECT_TRUE(child->hasOwnProp(GUI_PROP_CHECKED));
  EXPECT_EQ(child->dirty, 1);
  EXPECT_EQ(parent.dirty, 1) << "the parent is marked too";

  parent.dirty = child->dirty = 0;
  child->setChecked(true);
  EXPECT_EQ(child->dirty, 0) << "an equal own value changes nothing";
  EXPECT_EQ(parent.dirty, 0);

  child->setChecked(false, true);
  EXPECT_FALSE(child->isChecked());
  EXPECT_EQ(child->dirty, 0) << "a quiet setter marks nothing";
  EXPECT_EQ(parent.dirty, 0);
}

TEST_F(GuiPropertyTest, SetterOverSheetValueCreatesOwnValue) {
  GuiElement e;
  GuiProperty<bool> sheetValue(GUI_PROP_PRESSED, true);
  e.props[GUI_PROP_PRESSED] = (uintptr_t)&sheetValue; // borrowed from a sheet
  e.dirty = 0;
  EXPECT_TRUE(e.isPressed());
  e.setPressed(true);
  EXPECT_TRUE(e.hasOwnProp(GUI_PROP_PRESSED)) << "no comparison with the sheet's value";
  EXPECT_NE(e.getProp(GUI_PROP_PRESSED), &sheetValue);
  EXPECT_EQ(e.dirty, 1);
}

TEST_F(GuiPropertyTest, FlagsOutsideTheRangeReadFalse) {
  GuiElement e;
  e.flags = 0xFFFFFFFF;
  EXPECT_TRUE(e.hasFlag(0));
  EXPECT_TRUE(e.hasFlag(25));
  EXPECT_FALSE(e.hasFlag(26));
  EXPECT_FALSE(e.hasFlag(-1));
  EXPECT_FALSE(e.hasFlag(31));
}

TEST_F(GuiPropertyTest, SettingTextKeepsInsertionPointInside) {
  struct Case {
    const char* text;
    int pos;
    const char* shorter;
    int expected;
  } cases[] = {
      {"hello", 5, "hi", 2},
      {"hello", 1, "hi", 1},
      {"hello", 3, "", 0},
      // "a€" is a, then three bytes; a point of 3 would fall inside the euro sign.
      {"abcd", 3, "a\xE2\x82\xAC", 1},
  };
  for (const Case& c : cases) {
    GuiElement e;
    e.setText(c.text);
    e.setInsertPos(c.pos);
    e.setText(c.shorter);
    EXPECT_EQ(e.getInsertPos(), c.expected) << c.text << " -> " << c.shorter;
  }
}

TEST_F(GuiPropertyTest, AnimValuesUnpackColoursAndSpreadScalars) {
  GuiElement e;
  e.setOwnValue<uint32_t>(GUI_PROP_COLOR_A, 0x80FF0000u, false);
  e.setOwnValue<float>(GUI_PROP_SCALAR_A, 2.5f, false);
  e.setOffsets(_mm_setr_ps(1, 2, 3, 4));
  alignas(16) __m128 v[NUM_GUI_PROPS];
  e.getAnimValues(v);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_COLOR_A], 0), 1.0f);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_COLOR_A], 1), 0.0f);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_COLOR_A], 3), 128.0f / 255.0f);
  // An unset colour reads as 0xFF7F7F7F.
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_COLOR_B], 0), 127.0f / 255.0f);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_COLOR_B], 3), 1.0f);
  for (int i = 0; i < 4; i++) EXPECT_FLOAT_EQ(lane(v[GUI_PROP_SCALAR_A], i), 2.5f);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_OFFSETS], 3), 4.0f);
  EXPECT_FLOAT_EQ(lane(v[GUI_PROP_PRESSED], 0), 0.0f);
}

TEST_F(GuiPropertyTest, LayoutScaleFollowsScreenHeight) {
  struct Case {
    int height, scale;
  } cases[] = {{0, 1}, {200, 1}, {479, 1}, {480, 2}, {719, 2}, {720, 3}, {1080, 4}};
  for (const Case& c : cases) EXPECT_EQ(gui_layout_scale(c.height), c.scale) << c.height;
}

TEST_F(GuiPropertyTest, ScreenGeometryLaysOutRootAndChildOffsets) {
  BaseGuiScreen* screen = new BaseGuiScreen;
  screen->root = new GuiElement;
  GuiElement* child = new GuiElement;
  screen->root->addChild(child);
  child->setOffsets(_mm_setr_ps(10, 20, 30, 40));
  test_host.width = 800;
  test_host.height = 480;
  screen->setGeometry();
  EXPECT_EQ(screen->root->scale, 2);
  EXPECT_FLOAT_EQ(lane(screen->root->rect, 2), 800);
  EXPECT_FLOAT_EQ(lane(screen->root->rect, 3), 480);
  // Offsets are unscaled units: times 2 here.
  EXPECT_FLOAT_EQ(lane(child->rect, 0), 20);
  EXPECT_FLOAT_EQ(lane(child->rect, 1), 40);
  EXPECT_FLOAT_EQ(lane(child->rect, 2), 740);
  EXPECT_FLOAT_EQ(lane(child->rect, 3), 400);
  delete screen;
}

TEST_F(GuiPropertyTest, SignalsFireEveryNodeInListOrder) {
  Signal<GuiElement*, int> s;
  std::string log;
  s.connect([&](GuiElement*, int code) { log += "a" + std::to_string(code); });
  s.connect([&](GuiElement*, int code) { log += "b" + std::to_string(code); });
  s.fire(nullptr, 7);
  EXPECT_EQ(log, "b7a7") << "nodes are added at the head";
}

// Callbacks that change the list that is calling them: the nodes they take out
// are never called again (nor touched after being freed), the rest keep their order.
TEST_F(GuiPropertyTest, SignalsSurviveCallbacksThatChangeTheList) {
  Signal<int> s;
  std::string log;
  auto logger = [&](const char* name) { return [&log, name](int v) { log += name + std::to_string(v); }; };

  // Fired c, b, a: b clears the whole list, a is not called.
  s.connect(logger("a"));
  s.connect([&](int v) {
    log += "b" + std::to_string(v);
    s.clear();
    log += "!";  // still running inside the node that was just cleared
  });
  s.connect(logger("c"));
  s.fire(1);
  EXPECT_EQ(log, "c1b1!");
  EXPECT_TRUE(s.isEmpty());
  log.clear();
  s.fire(2);
  EXPECT_EQ(log, "");

  // A node disconnecting itself: the nodes after it still run, once each.
  SignalCallback<int>* self = nullptr;
  s.connect(logger("a"));
  self = s.connect([&](int v) {
    log += "b" + std::to_string(v);
    EXPECT_TRUE(s.disconnect(self));
    EXPECT_FALSE(s.disconnect(self)) << "already gone";
  });
  s.connect(logger("c"));
  s.fire(3);
  EXPECT_EQ(log, "c3b3a3");
  log.clear();
  s.fire(4);
  EXPECT_EQ(log, "c4a4");
  s.clear();

  // A node disconnecting one not yet reached, and clearing then reconnecting:
  // the new node waits for the next fire.
  log.clear();
  SignalCallback<int>* later = s.connect(logger("a"));
  s.connect(logger("b"));
  s.connect([&](int v) {
    log += "c" + std::to_string(v);
    s.disconnect(later);
  });
  s.fire(5);
  EXPECT_EQ(log, "c5b5");
  log.clear();
  s.connect([&](int v) {
    log += "d" + std::to_string(v);
    s.clear();
    s.connect(logger("e"));
  });
  s.fire(6);
  EXPECT_EQ(log, "d6");
  log.clear();
  s.fire(7);
  EXPECT_EQ(log, "e7");

  // One signal's callback clearing another that is firing further out.
  Signal<int> outer;
  outer.connect(logger("y"));
  outer.connect([&](int v) { s.fire(v); });
  s.clear();
  s.connect([&](int) { outer.clear(); });
  log.clear();
  outer.fire(8);
  EXPECT_EQ(log, "");
  EXPECT_TRUE(outer.isEmpty());
  EXPECT_FALSE(signal_is_firing());
}
