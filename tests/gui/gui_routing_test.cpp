#include <map>

#include "gui_fixture.h"

using GuiRoutingTest = GuiTest;

// Records which element got the event in which mode, and answers what the
// test set for that element (0 by default).
struct RecordingBehavior : NewGuiEventHandler {
  std::string log;
  std::map<GuiElement*, int> answers;
  int attaches = 0;
  RecordingBehavior() : NewGuiEventHandler(0x8) {}
  int handle(NewGuiEvent&, GuiElement* element, int mode) override {
    log += static_cast<TestElement*>(element)->name + std::to_string(mode) + " ";
    auto it = answers.find(element);
    return it == answers.end() ? 0 : it->second;
  }
  void attach(GuiElement*) override { attaches++; }
};

// root
//  +- a
//  |   +- a1
//  |   +- a2
//  +- b
struct RoutingTree {
  RecordingBehavior rec;
  TestElement *root, *a, *a1, *a2, *b;
  RoutingTree() {
    root = make_element(nullptr, "root", 0, 0, 100, 100);
    a = make_element(root, "a", 0, 0, 50, 50);
    a1 = make_element(a, "a1", 0, 0, 10, 10);
    a2 = make_element(a, "a2", 10, 10, 20, 20);
    b = make_element(root, "b", 50, 50, 100, 100);
    for (GuiElement* e : {(GuiElement*)root, (GuiElement*)a, (GuiElement*)a1, (GuiElement*)a2, (GuiElement*)b})
      e->addBehavior(&rec);
  }
  ~RoutingTree() { delete root; }
};

TEST_F(GuiRoutingTest, AncestryModeOffersTopmostFirst) {
  RoutingTree t;
  NewGuiEvent ev(0x8);
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_ANCESTRY), 0);
  EXPECT_EQ(t.rec.log, "root0 a0 a20 ");

  t.rec.log.clear();
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_ANCESTRY, t.a), 0);
  EXPECT_EQ(t.rec.log, "a0 a20 ") << "the walk starts at stop";

  t.rec.log.clear();
  t.rec.answers[t.root] = 1;
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_ANCESTRY), 1);
  EXPECT_EQ(t.rec.log, "root0 ");
}

TEST_F(GuiRoutingTest, BubbleModeStopsAtFirstAnswerOrAtStop) {
  RoutingTree t;
  NewGuiEvent ev(0x8);
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_BUBBLE), 0);
  EXPECT_EQ(t.rec.log, "a21 a1 root1 ");

  t.rec.log.clear();
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_BUBBLE, t.a), 0);
  EXPECT_EQ(t.rec.log, "a21 a1 ") << "nothing above stop";

  t.rec.log.clear();
  t.rec.answers[t.a] = 2;
  EXPECT_EQ(send_event(ev, t.a2, GUI_ROUTE_BUBBLE), 2);
  EXPECT_EQ(t.rec.log, "a21 a1 ");
}

TEST_F(GuiRoutingTest, SelfModeOffersOnlyTheElement) {
  RoutingTree t;
  NewGuiEvent ev(0x8);
  t.rec.answers[t.a] = 1;
  EXPECT_EQ(send_event(ev, t.a, GUI_ROUTE_SELF), 1);
  EXPECT_EQ(t.rec.log, "a2 ");
  EXPECT_EQ(send_event(ev, nullptr, GUI_ROUTE_SELF), 0);
  t.rec.log.clear();
  EXPECT_EQ(send_event(ev, t.a, 7), 0) << "an unknown mode routes nowhere";
  EXPECT_EQ(t.rec.log, "");
}

TEST_F(GuiRoutingTest, DepthFirstAnswerTwoSkipsChildrenNotSiblings) {
  RoutingTree t;
  NewGuiEvent ev(0x8);
  EXPECT_EQ(send_event(ev, t.root, GUI_ROUTE_DEPTH), 0);
  EXPECT_EQ(t.rec.log, "root3 a3 a13 a23 b3 ");

  t.rec.log.clear();
  t.rec.answers[t.a] = 2;
  EXPECT_EQ(send_event(ev, t.root, GUI_ROUTE_DEPTH), 0);
  EXPECT_EQ(t.rec.log, "root3 a3 b3 ");

  t.rec.log.clear();
  t.rec.answers[t.a1] = 1;
  t.rec.answers.erase(t.a);
  EXPECT_EQ(send_event(ev, t.root, GUI_ROUTE_DEPTH), 1);
  EXPECT_EQ(t.rec.log, "root3 a3 a13 ");
}

TEST_F(GuiRoutingTest, EventsReachOnlyBehavioursSharingAMaskBit) {
  RoutingTree t;
  NewGuiEvent other(0x10);
  EXPECT_EQ(t.a->processEvent(other, GUI_ROUTE_SELF), 0);
  EXPECT_EQ(t.rec.log, "");
}

TEST_F(GuiRoutingTest, BehaviourAttachedTwiceActsOnce) {
  RecordingBehavior rec;
  TestElement e("e");
  EXPECT_TRUE(e.addBehavior(&rec));
  EXPECT_TRUE(e.addBehavior(&rec));
  EXPECT_EQ(e.behaviors.size(), 1);
  EXPECT_EQ(rec.attaches, 1);
  NewGuiEvent ev(0x8);
  e.processEvent(ev, GUI_ROUTE_SELF);
  EXPECT_EQ(rec.log, "e2 ");

  register_behavior(&rec, "rec");
  EXPECT_TRUE(e.addBehavior("rec"));
  EXPECT_EQ(e.behaviors.size(), 1);
  EXPECT_FALSE(e.addBehavior("no such behaviour"));
  EXPECT_FALSE(e.addBehavior((NewGuiEventHandler*)nullptr));
}

TEST_F(GuiRoutingTest, RegistryKeepsFirstHandlerOfAName) {
  RecordingBehavior first, second;
  register_behavior(&first, "twice");
  register_behavior(&second, "twice");
  EXPECT_EQ(get_behavior("twice"), &first);
  EXPECT_EQ(get_behavior("missing"), nullptr);
  EXPECT_NE(get_behavior("solid_box"), nullptr);
  EXPECT_EQ(get_behavior("button"), button_behavior);
}

TEST_F(GuiRoutingTest, RegistryIgnoresMissingNamesAndHandlers) {
  RecordingBehavior real;
  register_behavior(&real, nullptr);
  register_behavior(nullptr, "late");
  EXPECT_EQ(get_behavior("missing"), nullptr) << "lookups still work after a nameless registration";
  register_behavior(&real, "late");
  EXPECT_EQ(get_behavior("late"), &real) << "a null handler does not claim the name";
}

TEST_F(GuiRoutingTest, HitTestEdgesLeftTopExclusiveRightBottomInclusive) {
  TestElement* root = make_element(nullptr, "root", 0, 0, 100, 100);
  TestElement* box = make_element(root, "box", 10, 20, 30, 40, {"solid_box"});
  struct Case {
    float x, y;
    bool hit;
  } cases[] = {
      {10, 30, false}, {10.001f, 30, true}, {30, 30, true}, {30.001f, 30, false},
      {20, 20, false}, {20, 20.001f, true}, {20, 40, true}, {20, 40.001f, false},
      {30, 40, true},  {10, 20, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(hit_test(root, c.x, c.y), c.hit ? box : nullptr) << c.x << "," << c.y;
  delete root;
}

TEST_F(GuiRoutingTest, HitTestFirstChildInIndexOrderWins) {
  TestElement* root = make_element(nullptr, "root", 0, 0, 100, 100, {"solid_box"});
  TestElement* first = make_element(root, "first", 10, 10, 60, 60, {"solid_box"});
  TestElement* second = make_element(root, "second", 40, 40, 90, 90, {"solid_box"});
  TestElement* grandchild = make_element(second, "grandchild", 45, 45, 55, 55, {"solid_box"});
  EXPECT_EQ(hit_test(root, 50, 50), first) << "overlap: the earlier sibling wins";
  EXPECT_EQ(hit_test(root, 70, 70), second);
  EXPECT_EQ(hit_test(root, 95, 95), root) << "the parent when no child is hit";
  EXPECT_EQ(hit_test(root, 150, 50), nullptr);
  EXPECT_EQ(hit_test(second, 50, 50), grandchild) << "children win over their parent";
  delete root;
}

TEST_F(GuiRoutingTest, HitTestFindsOnlySolidElementsButLooksThroughOthers) {
  TestElement* root = make_element(nullptr, "root", 0, 0, 100, 100);
  TestElement* panel = make_element(root, "panel", 0, 0, 50, 50);
  TestElement* inside = make_element(panel, "inside", 10, 10, 20, 20, {"solid_box"});
  TestElement* glass = make_element(root, "glass", 50, 50, 100, 100, {"solid_box"});
  TestElement* under = make_element(glass, "under", 60, 60, 70, 70, {"solid_box"});
  glass->hitTransparent = true;
  EXPECT_EQ(hit_test(root, 5, 5), nullptr) << "the panel has no solid_box";
  EXPECT_EQ(hit_test(root, 15, 15), inside);
  EXPECT_EQ(hit_test(root, 80, 80), nullptr) << "a hit-transparent element is never hit";
  EXPECT_EQ(hit_test(root, 65, 65), under) << "but its children are";
  EXPECT_EQ(hit_test(nullptr, 65, 65), nullptr);
  delete root;
}
