// Standard behaviours driven by sequences of input events through a screen,
// the way the game feeds them.
#include <cmath>

#include "gui_fixture.h"

using GuiBehaviorTest = GuiTest;

constexpr uint32_t LEFT_HELD = 0x80;

// A screen over a 200 x 200 root with solid_box, and a recorder of signals.
struct ScreenFixture {
  BaseGuiScreen* screen = new BaseGuiScreen;
  TestElement* root;
  std::string log;
  ScreenFixture() {
    root = make_element(nullptr, "root", 0, 0, 200, 200, {"solid_box"});
    screen->root = root;
  }
  ~ScreenFixture() {
    screen->destroy();
    destroy_queued_gui_elements();
  }
  void record(GuiElement* e, const std::string& name) {
    e->pressSignal.connect([this, name] { log += name + ":press "; });
    e->releaseSignal.connect([this, name] { log += name + ":release "; });
    e->hoverSignal.connect([this, name](GuiElement*, bool on) { log += name + (on ? ":hover " : ":unhover "); });
    e->clickSignal.connect([this, name](GuiElement*, int code) { log += name + ":click" + std::to_string(code) + " "; });
    e->checkSignal.connect([this, name](bool on) { log += name + (on ? ":checked " : ":unchecked "); });
    e->changeSignal.connect([this, name](GuiElement*) { log += name + ":change "; });
    e->enterSignal.connect([this, name](GuiElement*) { log += name + ":enter "; });
    e->escapeSignal.connect([this, name](GuiElement*) { log += name + ":escape "; });
  }
  void run(std::initializer_list<GuiInput> events) {
    feed(events);
    screen->processInput();
  }
};

TEST_F(GuiBehaviorTest, ButtonPressedAndReleasedOverItselfClicksOnce) {
  ScreenFixture f;
  TestElement* button = make_element(f.root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  f.record(button, "b");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 20, 20)});
  EXPECT_EQ(f.log, "b:hover ");
  EXPECT_TRUE(button->isHovered());
  f.run({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD, 1)});
  EXPECT_TRUE(button->isPressed());
  f.run({mouse_event(GuiInput::MOUSE_UP, 21, 21, 0, 1)});
  EXPECT_EQ(f.log, "b:hover b:press b:click1 b:release ");
  EXPECT_FALSE(button->isPressed());
  EXPECT_TRUE(button->isHovered());
  EXPECT_EQ(f.screen->captured, nullptr);
}

TEST_F(GuiBehaviorTest, ButtonReleasedOutsideDoesNotClick) {
  ScreenFixture f;
  TestElement* button = make_element(f.root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  f.record(button, "b");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 20, 20), mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD),
         mouse_event(GuiInput::MOUSE_MOVE, 100, 100, LEFT_HELD), mouse_event(GuiInput::MOUSE_UP, 100, 100)});
  EXPECT_EQ(f.log, "b:hover b:press b:unhover b:release ");
  EXPECT_FALSE(button->isPressed());
  EXPECT_FALSE(button->isHovered());
}

TEST_F(GuiBehaviorTest, MouseUpWithAButtonStillHeldDoesNotClick) {
  ScreenFixture f;
  TestElement* button = make_element(f.root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  f.record(button, "b");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 20, 20), mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD),
         // The left button goes up while the right one is still held.
         mouse_event(GuiInput::MOUSE_UP, 20, 20, 0x100)});
  EXPECT_EQ(f.log.find("click"), std::string::npos) << f.log;
  EXPECT_TRUE(button->isPressed());
}

TEST_F(GuiBehaviorTest, DragOffAndBackOnWhileHeldHoversOnlyTheCapturedElement) {
  ScreenFixture f;
  TestElement* button = make_element(f.root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  TestElement* other = make_element(f.root, "o", 100, 100, 150, 150, {"solid_box", "button"});
  f.record(button, "b");
  f.record(other, "o");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 20, 20), mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD)});
  EXPECT_EQ(f.screen->captured, button);
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 120, 120, LEFT_HELD)});
  EXPECT_EQ(f.screen->hovered, nullptr) << "leaving while held clears hovered";
  EXPECT_FALSE(other->isHovered()) << "another element is not hovered while one is captured";
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 25, 25, LEFT_HELD)});
  EXPECT_EQ(f.screen->hovered, button);
  EXPECT_TRUE(button->isHovered());
  EXPECT_TRUE(button->isPressed()) << "re-entering with the button held presses again";
  f.run({mouse_event(GuiInput::MOUSE_UP, 25, 25)});
  EXPECT_EQ(f.log, "b:hover b:press b:unhover b:release b:hover b:press b:click1 b:release ");
  EXPECT_EQ(other->isHovered(), false);
}

TEST_F(GuiBehaviorTest, InactiveButtonIgnoresInputButStillResets) {
  ScreenFixture f;
  TestElement* button = make_element(f.root, "b", 10, 10, 50, 50, {"solid_box", "button"});
  f.record(button, "b");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 20, 20), mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD)});
  button->active = false;
  f.run({mouse_event(GuiInput::MOUSE_UP, 20, 20)});
  EXPECT_EQ(f.log, "b:hover b:press ");
  NewGuiEvent reset(GUI_EVENT_RESET);
  EXPECT_EQ(send_event(reset, button, GUI_ROUTE_SELF), 0);
  EXPECT_FALSE(button->isPressed());
  EXPECT_FALSE(button->isHovered());
  EXPECT_EQ(f.log, "b:hover b:press b:release ");
}

TEST_F(GuiBehaviorTest, CheckboxTogglesOnEachClick) {
  ScreenFixture f;
  TestElement* box = make_element(f.root, "c", 10, 10, 50, 50, {"solid_box", "checkbox"});
  EXPECT_TRUE(box->hasOwnProp(GUI_PROP_CHECKED)) << "attaching makes the checked state the element's own";
  bool lastState = false;
  box->clickStateSignal.connect([&](bool on) { lastState = on; });
  f.record(box, "c");
  for (bool expected : {true, false, true}) {
    f.run({mouse_event(GuiInput::MOUSE_DOWN, 20, 20, LEFT_HELD), mouse_event(GuiInput::MOUSE_UP, 20, 20)});
    EXPECT_EQ(box->isChecked(), expected);
    EXPECT_EQ(lastState, expected);
  }
  EXPECT_NE(f.log.find("c:checked c:click1 "), std::string::npos) << f.log;
  EXPECT_NE(f.log.find("c:unchecked c:click1 "), std::string::npos) << f.log;
}

TEST_F(GuiBehaviorTest, RadioButtonChecksExactlyOneOfItsGroup) {
  ScreenFixture f;
  TestElement* group = make_element(f.root, "g", 0, 0, 200, 100);
  TestElement* r1 = make_element(group, "r1", 0, 0, 50, 50, {"solid_box", "radio_button"});
  TestElement* r2 = make_element(group, "r2", 50, 0, 100, 50, {"solid_box", "radio_button"});
  TestElement* plain = make_element(group, "p", 100, 0, 150, 50, {"solid_box", "checkbox"});
  TestElement* r3 = make_element(group, "r3", 150, 0, 200, 50, {"solid_box", "radio_button"});
  plain->setChecked(true);
  r1->setChecked(true);
  f.record(r1, "r1");
  f.record(r2, "r2");
  f.record(r3, "r3");
  f.run({mouse_event(GuiInput::MOUSE_DOWN, 75, 25, LEFT_HELD), mouse_event(GuiInput::MOUSE_UP, 75, 25)});
  EXPECT_FALSE(r1->isChecked());
  EXPECT_TRUE(r2->isChecked());
  EXPECT_FALSE(r3->isChecked());
  EXPECT_TRUE(plain->isChecked()) << "a sibling without the behaviour is untouched";
  // Every radio sibling hears its state, changed or not, before the click.
  EXPECT_NE(f.log.find("r1:unchecked r2:checked r3:unchecked r2:click1"), std::string::npos) << f.log;
}

// A slider with inner 0..100 and a knob 20 pixels wide.
struct SliderFixture : ScreenFixture {
  TestElement* slider;
  TestElement* knob;
  SliderFixture(double mn, double mx, float knobWidth = 20) {
    slider = make_element(root, "s", 0, 0, 100, 20, {"solid_box", "h_slider"});
    knob = make_element(slider, "k", 0, 0, knobWidth, 20);
    knob->setFlag(GUI_FLAG_KNOB);
    slider->setOwnValue<double>(GUI_PROP_SLIDER_MIN, mn, false);
    slider->setOwnValue<double>(GUI_PROP_SLIDER_MAX, mx, false);
    slider->scale = 2;
    record(slider, "s");
  }
};

TEST_F(GuiBehaviorTest, SliderDragSetsValueAndPlacesKnob) {
  SliderFixture f(10, 20);
  // x = 50: f = (50 - 10 - 0) / 80 = 0.5.
  f.run({mouse_event(GuiInput::MOUSE_DOWN, 50, 10, LEFT_HELD)});
  EXPECT_TRUE(f.slider->isPressed());
  EXPECT_DOUBLE_EQ(f.slider->getSliderValue(), 15.0);
  __m128 off = f.knob->getOffsets(false);
  EXPECT_FLOAT_EQ(lane(off, 0), 20.0f) << "40 pixels at scale 2";
  EXPECT_FLOAT_EQ(lane(off, 2), 20.0f);
  // Far past the right end: clamped to the maximum.
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 500, 10, LEFT_HELD)});
  EXPECT_DOUBLE_EQ(f.slider->getSliderValue(), 20.0);
  // Same place again: no change signal.
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 600, 10, LEFT_HELD), mouse_event(GuiInput::MOUSE_UP, 600, 10)});
  EXPECT_FALSE(f.slider->isPressed());
  EXPECT_EQ(f.log, "s:change s:change ");
}

TEST_F(GuiBehaviorTest, SliderPlacesKnobFromValueAndTreatsEmptyRangeAsOne) {
  struct Case {
    double mn, mx, value;
    float left;
  } cases[] = {{0, 1, 0.25, 10}, {0, 1, 2, 40}, {0, 1, -1, 0}, {5, 5, 5.5, 20},
               // A value that is not a number places the knob at the start.
               {0, 1, NAN, 0}, {-INFINITY, 1, 0, 0}};
  for (const Case& c : cases) {
    SliderFixture f(c.mn, c.mx);
    f.slider->setSliderValue(c.value);
    NewGuiNotifyEvent place(GUI_NOTIFY_PLACE_KNOB);
    EXPECT_EQ(send_event(place, f.slider, GUI_ROUTE_SELF), 1);
    EXPECT_FLOAT_EQ(lane(f.knob->getOffsets(false), 0), c.left) << c.mn << ".." << c.mx << " @" << c.value;
  }
}

TEST_F(GuiBehaviorTest, SliderWhoseKnobFillsTheTrackStaysFinite) {
  SliderFixture f(0, 10, 100);
  f.slider->setSliderValue(3);
  f.run({mouse_event(GuiInput::MOUSE_DOWN, 50, 10, LEFT_HELD), mouse_event(GuiInput::MOUSE_MOVE, 80, 10, LEFT_HELD)});
  EXPECT_DOUBLE_EQ(f.slider->getSliderValue(), 3.0) << "a knob that cannot move changes nothing";
  __m128 off = f.knob->getOffsets(false);
  for (int i = 0; i < 4; i++) EXPECT_TRUE(std::isfinite(lane(off, i)));
  EXPECT_EQ(f.log, "");
}

// A text input with a caret child, 8 pixels per byte from inner x0 = 10.
struct TextFixture : ScreenFixture {
  TestElement* input;
  TestElement* caret;
  TextFixture() {
    input = make_element(root, "t", 10, 10, 110, 30, {"solid_box"});
    caret = make_element(input, "caret", 10, 10, 20, 30);
    caret->setFlag(GUI_FLAG_CARET);
    EXPECT_TRUE(input->addBehavior("text_input"));
    record(input, "t");
    run({mouse_event(GuiInput::MOUSE_MOVE, 50, 20)});
  }
  std::string text() { return input->getText().c_str(); }
};

TEST_F(GuiBehaviorTest, TextInputTypesAndEditsUtf8ByWholeCharacters) {
  TextFixture f;
  const uint32_t euro = 0x20AC, smile = 0x1F600, e_acute = 0xE9;
  f.run({key_event('A', 'a'), key_event(0, e_acute), key_event(0, euro), key_event(0, smile)});
  EXPECT_EQ(f.text(), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(f.input->getInsertPos(), 10);

  f.run({key_event(0x08)}); // Backspace: the whole 4-byte smile
  EXPECT_EQ(f.text(), "a\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(f.input->getInsertPos(), 6);

  f.run({key_event(0x25), key_event(0x25)}); // Left twice: before the e-acute
  EXPECT_EQ(f.input->getInsertPos(), 1);
  f.run({key_event(0x2E)}); // Delete: the whole e-acute
  EXPECT_EQ(f.text(), "a\xE2\x82\xAC");
  EXPECT_EQ(f.input->getInsertPos(), 1);
  f.run({key_event(0x27)}); // Right: past the euro sign
  EXPECT_EQ(f.input->getInsertPos(), 4);
  f.run({key_event(0x24), key_event(0, 'b')}); // Home, then type
  EXPECT_EQ(f.text(), "ba\xE2\x82\xAC");
  EXPECT_EQ(f.input->getInsertPos(), 1);
  EXPECT_EQ(f.log, "t:change t:change t:change t:change t:change t:change t:change ");
}

TEST_F(GuiBehaviorTest, TextInputStaysInsideItsText) {
  TextFixture f;
  f.run({key_event(0x25), key_event(0x08), key_event(0x2E)}); // Left, Backspace, Delete on empty text
  EXPECT_EQ(f.input->getInsertPos(), 0);
  EXPECT_EQ(f.text(), "");
  f.run({key_event(0, 'x'), key_event(0x27), key_event(0x27)}); // Right at the end stays
  EXPECT_EQ(f.input->getInsertPos(), 1);
  f.run({key_event(0x2E)}); // Delete at the end does nothing
  EXPECT_EQ(f.text(), "x");
  f.run({key_event(0x24), key_event(0x08)}); // Backspace at 0 does nothing
  EXPECT_EQ(f.text(), "x");
  f.run({key_event(0x23)});
  EXPECT_EQ(f.input->getInsertPos(), 1);
  EXPECT_EQ(f.log, "t:change ");
}

TEST_F(GuiBehaviorTest, TextShortenedFromOutsideDoesNotBreakTheNextKey) {
  TextFixture f;
  f.input->setText("hello world");
  f.input->setInsertPos(11);
  f.input->setText("hi");
  f.run({key_event(0x08), key_event(0, '!')});
  EXPECT_EQ(f.text(), "h!");
  // A point set past the end is treated as the end.
  f.input->setInsertPos(50);
  f.run({key_event(0, '?')});
  EXPECT_EQ(f.text(), "h!?");
}

TEST_F(GuiBehaviorTest, TextInputEnterEscapeAndKeyUps) {
  TextFixture f;
  f.run({key_event(0x0D, '\r'), key_event(0x1B, 27), key_event('A', 'a', GuiInput::KEY_UP)});
  EXPECT_EQ(f.log, "t:enter t:escape ");
  EXPECT_EQ(f.text(), "") << "key-ups type nothing";
}

TEST_F(GuiBehaviorTest, TextCaretFollowsInsertionPoint) {
  TextFixture f;
  f.input->scale = 2;
  f.run({key_event(0, 'a'), key_event(0, 'b')});
  __m128 off = f.caret->getOffsets(false);
  // Insertion point 2 is 16 pixels into a 100-pixel content box.
  EXPECT_FLOAT_EQ(lane(off, 0), 8.0f);
  EXPECT_FLOAT_EQ(lane(off, 2), (100.0f - 16.0f) / 2 - 10);
  f.input->setText("abcdef");
  NewGuiNotifyEvent toEnd(GUI_NOTIFY_CARET_END);
  EXPECT_EQ(send_event(toEnd, f.input, GUI_ROUTE_SELF), 1);
  EXPECT_EQ(f.input->getInsertPos(), 6);
  EXPECT_FLOAT_EQ(lane(f.caret->getOffsets(false), 0), 24.0f);
}

// Records every index the caret update asks about.
class IndexCheckingElement : public TestElement {
 public:
  std::vector<int> asked;
  __m128 charPosition(int index) override {
    asked.push_back(index);
    return TestElement::charPosition(index);
  }
};

TEST_F(GuiBehaviorTest, CaretNeverAsksForAPositionOutsideTheText) {
  ScreenFixture f;
  IndexCheckingElement* input = new IndexCheckingElement;
  input->rect = input->inner = _mm_setr_ps(10, 10, 110, 30);
  f.root->addChild(input);
  TestElement* caret = make_element(input, "caret", 10, 10, 20, 30);
  caret->setFlag(GUI_FLAG_CARET);
  ASSERT_TRUE(input->addBehavior("solid_box"));
  ASSERT_TRUE(input->addBehavior("text_input"));
  input->setText("a\xC3\xA9"); // 3 bytes: 'a' and a 2-byte e-acute
  const struct {
    int point;
    int asked;
  } cases[] = {{50, 3}, {-4, 0}, {2, 1}};
  for (const auto& c : cases) {
    input->setInsertPos(c.point);
    input->asked.clear();
    // Keys that leave the point alone still update the caret.
    f.run({key_event(0x0D, '\r'), key_event(0x1B, 27)});
    NewGuiEvent reset(GUI_EVENT_RESET);
    send_event(reset, input, GUI_ROUTE_SELF);
    ASSERT_EQ(input->asked.size(), 3u) << c.point;
    for (int index : input->asked) EXPECT_EQ(index, c.asked) << "point " << c.point;
    EXPECT_FLOAT_EQ(lane(caret->getOffsets(false), 0), 8.0f * c.asked);
  }
}

TEST_F(GuiBehaviorTest, TooltipShownOverBoxAndHiddenElsewhere) {
  ScreenFixture f;
  TestElement* tip = make_element(f.root, "tip", 10, 10, 50, 50, {"tooltip_box"});
  TestElement* silent = make_element(f.root, "silent", 60, 10, 100, 50, {"tooltip_box"});
  TestElement* inner = make_element(tip, "inner", 20, 20, 30, 30, {"tooltip_box"});
  tip->setTooltip("outer");
  inner->setTooltip("inner");
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 40, 40)});
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 25, 25)});
  EXPECT_EQ(test_host.shown, (std::vector<std::string>{"outer", "inner"})) << "the child answers first";
  EXPECT_EQ(test_host.hideCount, 0);

  f.run({mouse_event(GuiInput::MOUSE_MOVE, 80, 20)});
  EXPECT_EQ(test_host.hideCount, 1) << "a box without text hides the tooltip";
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 150, 150)});
  EXPECT_EQ(test_host.hideCount, 2) << "no box under the pointer";
  silent->active = false;
  f.run({mouse_event(GuiInput::MOUSE_MOVE, 80, 20)});
  EXPECT_EQ(test_host.hideCount, 3) << "an inactive box answers 2";
  EXPECT_EQ(test_host.shown.size(), 2u);
}
