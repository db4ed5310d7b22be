#pragma once
// Screens: one element tree, the style it is restyled with, and the pointer
// state (hovered and captured elements) that turns the step's input into GUI
// events. Plus the deferred destruction of screens and elements and the queue
// of calls that must run outside event dispatch.
#include <functional>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_style.h"

class BaseGuiScreen {
 public:
  GuiElement* root = nullptr;
  GuiElement* captured = nullptr; // got the last mouse-down; kept while a button is held
  GuiElement* hovered = nullptr;  // under the pointer
  GuiStyle* style = nullptr;      // not owned

  BaseGuiScreen();
  BaseGuiScreen(const BaseGuiScreen&) = delete;
  BaseGuiScreen& operator=(const BaseGuiScreen&) = delete;
  // Queues the root element for destruction (it goes in the same drain when
  // the screen is deleted by one, else in the next, at the latest at exit) and
  // forgets the screen's queue entry.
  virtual ~BaseGuiScreen();
  // Called before the screen is dropped.
  virtual void close() {}
  // An element is being destroyed: forget it as root, hovered or captured.
  virtual void elementDestroyed(BaseGuiElement* element);
  // Routes one input event to element (may be null); see gui_screen.cpp.
  virtual void processInputEvent(NewGuiInputEvent& event, GuiElement* element);
  // Lays the root out over the back buffer.
  virtual void setGeometry();
  // Forgets captured and hovered elements (the hovered one gets a leave event).
  virtual void resetState();
  // Reads the step's input events and routes them; then the tooltip.
  virtual void processInput();
  // Applies the style to the tree (when both exist), then lays it out.
  virtual void restyle();

  // close, then queue the screen for destruction.
  void destroy();
};

// The scale of a layout for a back buffer of this height: floor(height/240),
// at least 1.
int gui_layout_scale(int height);

// The current game screen, null when none.
extern BaseGuiScreen* cur_game_screen;

// Deferred destruction: a null pointer or one already queued is ignored.
void queue_destruction(BaseGuiElement* element);
void queue_destruction(BaseGuiScreen* screen);
// Runs fn at the next drain, outside event dispatch.
void run_when_safe(std::function<void()> fn);
// The drain, once per step: the queued calls in order (including calls queued
// meanwhile), then the queued screens, then the queued elements.
void destroy_queued_gui_elements();
// Every screen alive (constructed, not yet deleted), in order of creation.
int gui_live_screen_count();
BaseGuiScreen* gui_live_screen(int index);
// Queue sizes, for checks.
int gui_run_queue_size();
int gui_screen_destroy_queue_size();
int gui_element_destroy_queue_size();

// Called by an element's destructor: removes it from the destruction queue and
// tells every live screen through elementDestroyed.
void gui_element_destroyed(BaseGuiElement* element);
