// Screens: pointer state, key routing, deferred destruction and safe calls.
#include "gui_fixture.h"

using GuiScreenTest = GuiTest;

// Logs every event it is offered as "<name>:<mask> " and answers `answer`.
struct LogBehavior : NewGuiEventHandler {
  std::string log;
  int answer = 0;
  LogBehavior() : NewGuiEventHandler(0x7F5) {} // everything but hit tests and tooltips
  int handle(NewGuiEvent& event, GuiElement* element, int) override {
    log += static_cast<TestElement*>(element)->name + ":" + std::to_string(event.mask) + " ";
    return answer;
  }
};

struct TestScreen : BaseGuiScreen {
  int* deleted;
  explicit TestScreen(int* d = nullptr) : deleted(d) {}
  ~TestScreen() override {
    if (deleted) ++*deleted;
  }
};

// root (solid) > panel (solid) > leaf (solid), plus a second leaf beside it.
struct KeyTree {
  LogBehavior logger;
  TestScreen* screen = new TestScreen;
  TestElement *root, *panel, *leaf, *other;
  KeyTree() {
    root = make_element(nullptr, "root", 0, 0, 200, 200, {"solid_box"});
    panel = make_element(root, "panel", 0, 0, 100, 100, {"solid_box"});
    leaf = make_element(panel, "leaf", 10, 10, 50, 50, {"solid_box"});
    other = make_element(root, "other", 100, 100, 150, 150, {"solid_box"});
    for (GuiElement* e : {(GuiElement*)root, (GuiElement*)panel, (GuiElement*)leaf, (GuiElement*)other})
      e->addBehavior(&logger);
    screen->root = root;
  }
  ~KeyTree() {
    delete screen;
    destroy_queued_gui_elements();
  }
};

TEST_F(GuiScreenTest, PointerMovesSendLeaveThenEnter) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_MOVE, 20, 20), mouse_event(GuiInput::MOUSE_MOVE, 30, 30),
        mouse_event(GuiInput::MOUSE_MOVE, 120, 120)});
  t.screen->processInput();
  EXPECT_EQ(t.logger.log, "leaf:16 leaf:256 leaf:256 leaf:32 other:16 other:256 ");
  EXPECT_EQ(t.screen->hovered, t.other);
}

TEST_F(GuiScreenTest, KeyBubblesFromHoveredElementToFirstAnswer) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_MOVE, 20, 20)});
  t.screen->processInput();
  t.logger.log.clear();
  feed({key_event('K', 'k')});
  t.screen->processInput();
  EXPECT_EQ(t.logger.log, "leaf:4 panel:4 root:4 ") << "up to the root when nobody answers";

  // A handler of the panel answers: the root hears nothing.
  struct Stopper : NewGuiEventHandler {
    Stopper() : NewGuiEventHandler(GUI_EVENT_KEY) {}
    int handle(NewGuiEvent&, GuiElement*, int) override { return 1; }
  } stopper;
  t.panel->addBehavior(&stopper);
  t.logger.log.clear();
  feed({key_event('K', 'k')});
  t.screen->processInput();
  EXPECT_EQ(t.logger.log, "leaf:4 panel:4 ");
}

TEST_F(GuiScreenTest, KeyWithNothingUnderThePointerGoesDepthFirst) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_MOVE, 500, 500), key_event('K', 'k', GuiInput::KEY_UP)});
  t.screen->processInput();
  EXPECT_EQ(t.logger.log, "root:4 panel:4 leaf:4 other:4 ");
  EXPECT_EQ(t.screen->hovered, nullptr);
}

TEST_F(GuiScreenTest, MouseEventsGoOnlyToTheTarget) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), mouse_event(GuiInput::WHEEL, 20, 20, 0x80),
        mouse_event(GuiInput::MOUSE_UP, 20, 20)});
  t.screen->processInput();
  EXPECT_EQ(t.logger.log, "leaf:16 leaf:128 leaf:512 leaf:64 ");
  EXPECT_EQ(t.screen->captured, nullptr) << "released by the first event without a button held";
}

TEST_F(GuiScreenTest, CapturedElementKeepsEventsWhileHeld) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), mouse_event(GuiInput::MOUSE_MOVE, 120, 120, 0x80)});
  t.screen->processInput();
  EXPECT_EQ(t.screen->captured, t.leaf);
  EXPECT_EQ(t.logger.log, "leaf:16 leaf:128 leaf:32 leaf:256 ") << "moves off go to the captured element";
  EXPECT_EQ(t.screen->hovered, nullptr);
}

TEST_F(GuiScreenTest, MouseLeavingTheWindowForgetsPointerStateAndHidesTooltip) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80)});
  t.screen->processInput();
  int hidesBefore = test_host.hideCount;
  t.logger.log.clear();
  test_host.over = false;
  t.screen->processInput();
  EXPECT_EQ(t.screen->captured, nullptr);
  EXPECT_EQ(t.screen->hovered, nullptr);
  EXPECT_EQ(t.logger.log, "leaf:32 ");
  EXPECT_EQ(test_host.hideCount, hidesBefore + 1);

  test_host.over = true;
  test_host.blocked = true;
  feed({mouse_event(GuiInput::MOUSE_MOVE, 20, 20)});
  t.screen->processInput();
  EXPECT_EQ(t.screen->hovered, nullptr) << "a blocked mouse hovers nothing after the step";
}

TEST_F(GuiScreenTest, ElementDestroyedInsideItsOwnHandler) {
  TestScreen* screen = new TestScreen;
  TestElement* root = make_element(nullptr, "root", 0, 0, 200, 200, {"solid_box"});
  TestElement* button = make_element(root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  screen->root = root;
  int clicks = 0;
  button->clickSignal.connect([&](GuiElement* self, int) {
    clicks++;
    queue_destruction(self);
    queue_destruction(self);
  });
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), mouse_event(GuiInput::MOUSE_UP, 20, 20),
        mouse_event(GuiInput::MOUSE_MOVE, 21, 21)});
  screen->processInput();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(gui_element_destroy_queue_size(), 1) << "queued twice, deleted once";
  EXPECT_EQ(screen->hovered, button) << "still alive until the drain";
  EXPECT_TRUE(button->isHovered());

  destroy_queued_gui_elements();
  EXPECT_EQ(screen->hovered, nullptr) << "the screen forgot the destroyed element";
  EXPECT_EQ(root->children.size(), 0);
  // The next step works on the remaining tree.
  feed({mouse_event(GuiInput::MOUSE_MOVE, 20, 20)});
  screen->processInput();
  EXPECT_EQ(screen->hovered, root);
  delete screen;
}

TEST_F(GuiScreenTest, CapturedElementDestroyedIsForgotten) {
  KeyTree t;
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80)});
  t.screen->processInput();
  ASSERT_EQ(t.screen->captured, t.leaf);
  queue_destruction(t.panel); // takes the leaf with it
  destroy_queued_gui_elements();
  EXPECT_EQ(t.screen->captured, nullptr);
  EXPECT_EQ(t.screen->hovered, nullptr);
  feed({mouse_event(GuiInput::MOUSE_MOVE, 20, 20, 0x80), mouse_event(GuiInput::MOUSE_UP, 20, 20)});
  t.screen->processInput();
  EXPECT_EQ(t.screen->hovered, t.root);
}

TEST_F(GuiScreenTest, ParentAndChildBothQueuedAreDeletedOnce) {
  GuiElement* parent = new GuiElement;
  GuiElement* child = new GuiElement;
  parent->addChild(child);
  queue_destruction(parent);
  queue_destruction(child);
  queue_destruction((GuiElement*)nullptr);
  EXPECT_EQ(gui_element_destroy_queue_size(), 2);
  destroy_queued_gui_elements(); // the child goes with its parent and leaves the queue
  EXPECT_EQ(gui_element_destroy_queue_size(), 0);
}

TEST_F(GuiScreenTest, SafeCallsRunInOrderIncludingThoseQueuedWhileDraining) {
  std::string log;
  run_when_safe([&] {
    log += "a";
    // Enough calls to make the queue grow while this one runs.
    for (int i = 0; i < 40; i++) run_when_safe([&log] { log += "."; });
    run_when_safe([&log] { log += "c"; });
  });
  run_when_safe([&] { log += "b"; });
  EXPECT_EQ(log, "");
  destroy_queued_gui_elements();
  EXPECT_EQ(log, "ab" + std::string(40, '.') + "c");
  EXPECT_EQ(gui_run_queue_size(), 0);
}

TEST_F(GuiScreenTest, EmptySafeCallThrowsBadFunctionCall) {
  run_when_safe(std::function<void()>());
  EXPECT_THROW(destroy_queued_gui_elements(), std::bad_function_call);
  EXPECT_EQ(gui_run_queue_size(), 0);
}

TEST_F(GuiScreenTest, DeletedScreenTakesItsRootInTheSameDrain) {
  int deleted = 0;
  TestScreen* screen = new TestScreen(&deleted);
  struct Watch : GuiElement {
    int* gone;
    explicit Watch(int* g) : gone(g) {}
    ~Watch() override { ++*gone; }
  };
  int rootGone = 0;
  screen->root = new Watch(&rootGone);
  cur_game_screen = screen;
  screen->destroy();
  screen->destroy();
  EXPECT_EQ(gui_screen_destroy_queue_size(), 1);
  EXPECT_EQ(deleted, 0);
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(rootGone, 1);
  EXPECT_EQ(cur_game_screen, nullptr);
}

// A screen deleted outside any drain leaves its root queued; if no drain follows, the
// last one at exit still deletes it.
TEST_F(GuiScreenTest, ScreenDeletedOutsideADrainDoesNotLeakItsRootAtExit) {
  EXPECT_EXIT(
      {
        struct Announce : GuiElement {
          ~Announce() override { fprintf(stderr, "root deleted\n"); }
        };
        TestScreen* screen = new TestScreen;
        screen->root = new Announce;
        delete screen;
        EXPECT_EQ(gui_element_destroy_queue_size(), 1);
        exit(0);
      },
      ::testing::ExitedWithCode(0), "root deleted");
}

TEST_F(GuiScreenTest, SafeCallMayDestroyAScreen) {
  int deleted = 0;
  TestScreen* screen = new TestScreen(&deleted);
  run_when_safe([screen] { screen->destroy(); });
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted, 1) << "screens queued by a safe call go in the same drain";
}

TEST_F(GuiScreenTest, RestyleAppliesStyleThenLaysOut) {
  struct Everything : GuiSelector {
    bool match(GuiElement*) override { return true; }
    int priority() override { return 0; }
  };
  GuiStyle style;
  style.addSheet(new Everything, new GuiBehaviorsProperty("solid_box\0"));
  KeyTree t;
  t.screen->style = &style;
  t.root->dirty = 1;
  test_host.width = 320;
  test_host.height = 240;
  t.screen->restyle();
  EXPECT_FLOAT_EQ(lane(t.root->rect, 2), 320);
  EXPECT_EQ(t.root->scale, 1);
  EXPECT_EQ(t.root->dirty, 0);
  EXPECT_EQ(t.leaf->dirty, 0);
}

TEST_F(GuiScreenTest, UnknownInputTypeIsFatal) {
  EXPECT_EXIT(
      {
        KeyTree t;
        GuiInput bad = mouse_event(9, 20, 20);
        feed({bad});
        t.screen->processInput();
      },
      ::testing::ExitedWithCode(100), "failed ASSERT\\(!\"unknown input event type\"\\)");
}

TEST_F(GuiScreenTest, ScreenDestroyedFromAHandlerFinishesTheStep) {
  int deleted = 0;
  TestScreen* screen = new TestScreen(&deleted);
  TestElement* root = make_element(nullptr, "root", 0, 0, 200, 200, {"solid_box"});
  TestElement* button = make_element(root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  screen->root = root;
  int clicks = 0, releases = 0;
  button->clickSignal.connect([&](GuiElement*, int) {
    clicks++;
    screen->destroy();
  });
  button->releaseSignal.connect([&] { releases++; });
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), mouse_event(GuiInput::MOUSE_UP, 20, 20),
        mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), mouse_event(GuiInput::MOUSE_MOVE, 120, 120, 0x80)});
  screen->processInput();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(releases, 2) << "the events after the click still reach the live tree";
  EXPECT_EQ(deleted, 0);
  destroy_queued_gui_elements();
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(gui_element_destroy_queue_size(), 0);
}

TEST_F(GuiScreenTest, ScreenWithoutARootDropsItsInputAndHidesTheTooltip) {
  struct CountingScreen : TestScreen {
    int routed = 0;
    void processInputEvent(NewGuiInputEvent& event, GuiElement* element) override {
      routed++;
      BaseGuiScreen::processInputEvent(event, element);
    }
  };
  CountingScreen* screen = new CountingScreen;
  GuiStyle style;
  screen->style = &style;
  feed({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, 0x80), key_event('K', 'k'), mouse_event(GuiInput::MOUSE_UP, 20, 20)});
  screen->processInput();
  EXPECT_EQ(screen->routed, 0) << "events are dropped, not routed";
  EXPECT_EQ(screen->captured, nullptr);
  EXPECT_EQ(screen->hovered, nullptr);
  EXPECT_EQ(test_host.hideCount, 1);
  // A key with neither an element nor a root goes nowhere.
  NewGuiInputEvent key(0, key_event('K', 'k'));
  screen->BaseGuiScreen::processInputEvent(key, nullptr);
  EXPECT_EQ(key.mask, (uint32_t)GUI_EVENT_KEY);
  screen->restyle(); // nothing to style or lay out
  screen->destroy();
  destroy_queued_gui_elements();
}
