// Deferred destruction and safe calls. Handlers may ask for the deletion of
// the element or screen that is dispatching the current event, or for code
// that rebuilds the tree; both wait here until the drain, once per step.
#include <memory>

#include "engine/core/dynarray.h"
#include "engine/gui/gui_screen.h"

// Heap-held so a call may queue others (the array may move) while it runs.
static DynArray<std::function<void()>*> gui_run_queue;
static DynArray<BaseGuiScreen*> gui_screen_destroy_queue;
static DynArray<GuiElement*> gui_element_destroy_queue;
// Every screen alive, so each hears of elements being destroyed.
static DynArray<BaseGuiScreen*> live_screens;

template <class T>
static int index_of(const DynArray<T*>& list, const T* item) {
  for (int i = 0; i < list.size(); i++)
    if (list[i] == item) return i;
  return -1;
}

template <class T>
static void remove_item(DynArray<T*>& list, const T* item) {
  int i = index_of(list, item);
  if (i >= 0) list.remove(i, 1);
}

template <class T>
static void queue_once(DynArray<T*>& list, T* item) {
  if (item && index_of(list, item) < 0) list.push(&item);
}

void queue_destruction(BaseGuiElement* element) { queue_once(gui_element_destroy_queue, element); }

void queue_destruction(BaseGuiScreen* screen) { queue_once(gui_screen_destroy_queue, screen); }

void run_when_safe(std::function<void()> fn) {
  std::function<void()>* call = new std::function<void()>(std::move(fn));
  gui_run_queue.push(&call);
}

void destroy_queued_gui_elements() {
  while (!gui_run_queue.isEmpty()) {
    // Out of the queue before it runs: the call may queue more calls.
    std::unique_ptr<std::function<void()>> call(gui_run_queue[0]);
    gui_run_queue.remove(0, 1);
    (*call)();
  }
  while (!gui_screen_destroy_queue.isEmpty()) {
    BaseGuiScreen* screen = gui_screen_destroy_queue[0];
    gui_screen_destroy_queue.remove(0, 1);
    delete screen;
  }
  while (!gui_element_destroy_queue.isEmpty()) {
    GuiElement* element = gui_element_destroy_queue[0];
    gui_element_destroy_queue.remove(0, 1);
    delete element;
  }
}

int gui_run_queue_size() { return gui_run_queue.size(); }
int gui_screen_destroy_queue_size() { return gui_screen_destroy_queue.size(); }
int gui_element_destroy_queue_size() { return gui_element_destroy_queue.size(); }

void gui_register_screen(BaseGuiScreen* screen) { live_screens.push(&screen); }

int gui_live_screen_count() { return live_screens.size(); }
BaseGuiScreen* gui_live_screen(int index) { return live_screens[index]; }

void gui_unregister_screen(BaseGuiScreen* screen) {
  remove_item(live_screens, screen);
  remove_item(gui_screen_destroy_queue, screen);
}

void gui_element_destroyed(BaseGuiElement* element) {
  // A queued element may die with its parent before its own turn comes.
  remove_item(gui_element_destroy_queue, element);
  for (int i = 0; i < live_screens.size(); i++) live_screens[i]->elementDestroyed(element);
}
