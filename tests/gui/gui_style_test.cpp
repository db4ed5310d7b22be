#include <climits>

#include "gui_fixture.h"

using GuiStyleTest = GuiTest;

// Matches elements carrying a flag bit; a priority of its own.
struct FlagSelector : GuiSelector {
  int bit, prio;
  FlagSelector(int b, int p) : bit(b), prio(p) {}
  bool match(GuiElement* e) override { return e->hasFlag(bit); }
  int priority() override { return prio; }
};

// Counts animators made and remembers what they started from; current() moves
// a quarter of the way each call, so a running animator is told apart from a
// fresh one.
struct Counters {
  int made = 0, destroyed = 0;
  std::vector<float> starts;
};

struct TestAnimator : GuiAnimator {
  Counters* c;
  __m128 value;
  explicit TestAnimator(Counters* c_) : c(c_) {}
  ~TestAnimator() override { c->destroyed++; }
  void start(__m128 old) override {
    value = old;
    c->starts.push_back(lane(old, 0));
  }
  __m128 current(__m128 target, float) override {
    value = _mm_add_ps(value, _mm_mul_ps(_mm_sub_ps(target, value), _mm_set1_ps(0.25f)));
    return value;
  }
};

struct TestTransition : GuiTransition {
  Counters* c;
  explicit TestTransition(Counters* c_) : c(c_) {}
  GuiAnimator* makeAnimator() override {
    c->made++;
    return new TestAnimator(c);
  }
};

static BaseGuiProperty* float_prop(int id, float v, BaseGuiProperty* next = nullptr) {
  return new GuiProperty<float>(id, v, next);
}

static float scalar(GuiElement* e, int id) { return e->readValue<float>(id, -1.0f); }

TEST_F(GuiStyleTest, HigherPriorityWinsThenLaterAddition) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 5), float_prop(GUI_PROP_SCALAR_A, 1, float_prop(GUI_PROP_SCALAR_B, 1)));
  style.addSheet(new FlagSelector(0, 1), float_prop(GUI_PROP_SCALAR_A, 2, float_prop(GUI_PROP_SCALAR_C, 2)));
  style.addSheet(new FlagSelector(0, 5), float_prop(GUI_PROP_SCALAR_B, 3));
  style.addSheet(new FlagSelector(1, 9), float_prop(GUI_PROP_SCALAR_A, 4));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, false);
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), 1) << "priority 5 over priority 1";
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_B), 3) << "equal priority: the later sheet";
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_C), 2);
  EXPECT_FALSE(e.hasOwnProp(GUI_PROP_SCALAR_A)) << "sheet values are borrowed";
  EXPECT_EQ(e.dirty, 0);
}

TEST_F(GuiStyleTest, ExtremePrioritiesKeepTheirOrder) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, INT_MAX), float_prop(GUI_PROP_SCALAR_A, 1));
  style.addSheet(new FlagSelector(0, INT_MIN), float_prop(GUI_PROP_SCALAR_A, 2));
  style.addSheet(new FlagSelector(0, -5), float_prop(GUI_PROP_SCALAR_A, 3));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, false);
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), 1) << "INT_MAX wins over INT_MIN without overflow";
}

TEST_F(GuiStyleTest, OwnValuesAlwaysWin) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), new GuiProperty<bool>(GUI_PROP_CHECKED, true));
  GuiElement e;
  e.setFlag(0);
  e.setChecked(false);
  style.restyle(&e, true);
  EXPECT_FALSE(e.isChecked());
  EXPECT_TRUE(e.hasOwnProp(GUI_PROP_CHECKED));
}

TEST_F(GuiStyleTest, OnlyDirtyElementsAreReevaluated) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_A, 7));
  GuiElement* parent = new GuiElement;
  GuiElement* child = new GuiElement;
  parent->addChild(child);
  parent->setFlag(0);
  child->setFlag(0);
  parent->dirty = 0;
  child->dirty = 1;
  style.restyle(parent, false);
  EXPECT_EQ(scalar(child, GUI_PROP_SCALAR_A), 7);
  EXPECT_EQ(scalar(parent, GUI_PROP_SCALAR_A), -1) << "a clean parent is not re-evaluated";
  parent->markDirty();
  style.restyle(parent, false);
  EXPECT_EQ(scalar(parent, GUI_PROP_SCALAR_A), 7);
  delete parent;
}

TEST_F(GuiStyleTest, SheetBehavioursAttachOnce) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), new GuiBehaviorsProperty("solid_box\0checkbox\0no_such\0"));
  style.addSheet(new FlagSelector(0, 1), new GuiBehaviorsProperty("checkbox\0"));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
  style.restyle(&e, true);
  EXPECT_EQ(e.behaviors.size(), 2);
  EXPECT_TRUE(e.hasBehavior(get_behavior("solid_box")));
  EXPECT_TRUE(e.hasBehavior(get_behavior("checkbox")));
  EXPECT_EQ(e.eventMask, 0x4f2u);
  // The checkbox's attach made checked an own value; restyling keeps it.
  EXPECT_TRUE(e.hasOwnProp(GUI_PROP_CHECKED));
}

TEST_F(GuiStyleTest, MissingBehaviourListNamesNothing) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), new GuiBehaviorsProperty(nullptr, float_prop(GUI_PROP_SCALAR_A, 2)));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
  EXPECT_TRUE(e.behaviors.isEmpty());
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), 2.0f) << "the rest of the chain still applies";
}

TEST_F(GuiStyleTest, SheetWithoutASelectorIsDropped) {
  GuiStyle style;
  style.addSheet(nullptr, float_prop(GUI_PROP_SCALAR_A, 2));
  EXPECT_EQ(style.size(), 0);
  GuiElement e;
  style.restyle(&e, true);
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), -1.0f) << "nothing applied";
}

TEST_F(GuiStyleTest, TransitionsRestartOnlyWhenASlotChanges) {
  Counters c;
  static const uint8_t ids[] = {GUI_PROP_SCALAR_A + 1, GUI_PROP_PRESSED + 1, 0};
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0),
                 new GuiTransitionProperty(new TestTransition(&c), ids, float_prop(GUI_PROP_SCALAR_A, 1)));
  style.addSheet(new FlagSelector(1, 1), float_prop(GUI_PROP_SCALAR_A, 5));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
  EXPECT_EQ(c.made, 1) << "only animatable ids get animators";
  EXPECT_EQ(c.starts, std::vector<float>{0.0f}) << "started from the unset value";
  ASSERT_NE(e.animators[GUI_PROP_SCALAR_A], nullptr);
  EXPECT_EQ(e.animators[GUI_PROP_PRESSED], nullptr);
  __m128 shown = e.animate(GUI_PROP_SCALAR_A, _mm_set1_ps(scalar(&e, GUI_PROP_SCALAR_A)));
  EXPECT_FLOAT_EQ(lane(shown, 0), 0.25f);

  style.restyle(&e, true); // nothing changed: the animator keeps running
  EXPECT_EQ(c.made, 1);
  shown = e.animate(GUI_PROP_SCALAR_A, _mm_set1_ps(1));
  EXPECT_FLOAT_EQ(lane(shown, 0), 0.4375f);

  e.setFlag(1); // now the value 5 applies: restart from the old value 1
  e.markDirty();
  style.restyle(&e, false);
  EXPECT_EQ(c.made, 2);
  EXPECT_EQ(c.destroyed, 1);
  EXPECT_EQ(c.starts, (std::vector<float>{0.0f, 1.0f}));
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), 5);
}

TEST_F(GuiStyleTest, OffsetsReadThroughTheirAnimator) {
  Counters c;
  static const uint8_t all[] = {0};
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), new GuiTransitionProperty(new TestTransition(&c), all,
                                                                   new GuiVec4Property(GUI_PROP_OFFSETS, _mm_set1_ps(8))));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
  EXPECT_EQ(c.made, 11) << "an empty id list means every animatable id";
  EXPECT_FLOAT_EQ(lane(e.getOffsets(true), 0), 2.0f);
  EXPECT_FLOAT_EQ(lane(e.getOffsets(false), 0), 8.0f);
}

TEST_F(GuiStyleTest, EmptyingAStyleDestroysSheetsAndKeepsItUsable) {
  Counters c;
  GuiStyle style;
  static const uint8_t ids[] = {GUI_PROP_SCALAR_A + 1, 0};
  style.addSheet(new FlagSelector(0, 0), new GuiTransitionProperty(new TestTransition(&c), ids));
  EXPECT_EQ(style.size(), 1);
  style.clear();
  EXPECT_EQ(style.size(), 0);
  style.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_A, 3));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
  EXPECT_EQ(scalar(&e, GUI_PROP_SCALAR_A), 3);
}

// Emptying a style reaches every element that borrows from it, also those under no
// live screen: a subtree the module took out of its screen and keeps, a tooltip
// element styled on its own. One destroyed meanwhile is not visited.
TEST_F(GuiStyleTest, EmptyingAStyleReachesElementsUnderNoScreen) {
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_A, 3));
  BaseGuiScreen* screen = new BaseGuiScreen;
  screen->style = &style;
  screen->root = new GuiElement;
  screen->root->setFlag(0);
  GuiElement* kept = new GuiElement;
  kept->setFlag(0);
  GuiElement* grandchild = new GuiElement;
  grandchild->setFlag(0);
  kept->addChild(grandchild);
  screen->root->addChild(kept);
  screen->restyle();
  GuiElement* tooltip = new GuiElement;
  tooltip->setFlag(0);
  style.restyle(tooltip, true);
  GuiElement* gone = new GuiElement;
  gone->setFlag(0);
  style.restyle(gone, true);
  for (GuiElement* e : {screen->root, kept, grandchild, tooltip})
    ASSERT_EQ(scalar(e, GUI_PROP_SCALAR_A), 3);

  // The module keeps the subtree aside.
  screen->root->children.remove(0, 1);
  kept->parent = nullptr;
  delete gone;
  style.clear();
  for (GuiElement* e : {screen->root, kept, grandchild, tooltip}) {
    EXPECT_EQ(e->getProp(GUI_PROP_SCALAR_A), nullptr);
    EXPECT_TRUE(e->dirty);
  }
  delete kept;
  delete tooltip;
  delete screen;
  destroy_queued_gui_elements();
}

// Emptying a style while a live screen's elements borrow its values (as when
// the module that built the sheets goes away): they drop the borrowed values,
// keep their own ones, and the next restyle reads only the new sheets.
TEST_F(GuiStyleTest, EmptyingAStyleDropsTheValuesElementsBorrowFromIt) {
  GuiStyle style, other;
  style.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_A, 3, float_prop(GUI_PROP_SCALAR_B, 4)));
  other.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_C, 6));
  BaseGuiScreen* screen = new BaseGuiScreen;
  screen->style = &style;
  screen->root = new GuiElement;
  GuiElement* child = new GuiElement;
  screen->root->addChild(child);
  child->setFlag(0);
  child->setOwnValue<float>(GUI_PROP_SCALAR_B, 9, true);
  screen->root->setFlag(0);
  // A second tree styled by another style keeps what it borrowed there.
  GuiElement* stranger = new GuiElement;
  stranger->setFlag(0);
  other.restyle(stranger, true);
  BaseGuiScreen* second = new BaseGuiScreen;
  second->root = stranger;
  screen->restyle();
  ASSERT_EQ(scalar(child, GUI_PROP_SCALAR_A), 3);
  ASSERT_EQ(scalar(child, GUI_PROP_SCALAR_B), 9);

  style.clear();
  for (GuiElement* e : {screen->root, child}) {
    EXPECT_EQ(e->getProp(GUI_PROP_SCALAR_A), nullptr);
    EXPECT_TRUE(e->dirty);
  }
  EXPECT_EQ(scalar(screen->root, GUI_PROP_SCALAR_B), -1.0f);
  EXPECT_EQ(scalar(child, GUI_PROP_SCALAR_B), 9) << "own values stay";
  EXPECT_EQ(scalar(stranger, GUI_PROP_SCALAR_C), 6);
  EXPECT_FALSE(stranger->dirty);

  style.addSheet(new FlagSelector(0, 0), float_prop(GUI_PROP_SCALAR_D, 5));
  screen->restyle();
  EXPECT_EQ(scalar(child, GUI_PROP_SCALAR_D), 5);
  EXPECT_EQ(scalar(child, GUI_PROP_SCALAR_A), -1.0f);
  EXPECT_EQ(scalar(child, GUI_PROP_SCALAR_B), 9);
  delete screen;
  delete second;
  destroy_queued_gui_elements();
}

static void restyle_with_transition_id(uint8_t id) {
  Counters c;
  const uint8_t ids[] = {id, 0};
  GuiStyle style;
  style.addSheet(new FlagSelector(0, 0), new GuiTransitionProperty(new TestTransition(&c), ids));
  GuiElement e;
  e.setFlag(0);
  style.restyle(&e, true);
}

TEST_F(GuiStyleTest, TransitionIdOutOfRangeIsFatal) {
  EXPECT_EXIT(restyle_with_transition_id(31), ::testing::ExitedWithCode(100),
              "gui_style.cpp\\([0-9]+\\): failed ASSERT\\(\\*s>0 && \\*s<=NUM_GUI_PROPS\\)");
  restyle_with_transition_id(30); // the last id is fine
}
