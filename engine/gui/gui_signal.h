#pragma once
// Signals of GUI elements: a singly linked list of callback nodes. Firing a
// signal invokes every node from the head to the end. The list owns its nodes.
//
// A callback may clear or disconnect nodes of any list while lists are firing:
// nodes leave their list at once, but are only deleted once the outermost fire
// has returned, and a node that has left its list is not called any more.
#include <utility>

// Firing depth over all signals, and nodes waiting for it to drop to zero.
void signal_fire_begin();
void signal_fire_end();
bool signal_is_firing();
// Deletes node through destroy now, or after the outermost fire when one runs.
void signal_delete_node(void* node, void (*destroy)(void*));

template <class... Args>
struct SignalCallback {
  SignalCallback* next = nullptr;
  virtual ~SignalCallback() {}
  virtual void invoke(Args... args) = 0;
};

using SignalCallback0 = SignalCallback<>;
template <class A>
using SignalCallback1 = SignalCallback<A>;
template <class A, class B>
using SignalCallback2 = SignalCallback<A, B>;

// A callback node around any callable (lambda, function pointer).
template <class F, class... Args>
struct FuncSignalCallback final : SignalCallback<Args...> {
  F func;
  explicit FuncSignalCallback(F f) : func(std::move(f)) {}
  void invoke(Args... args) override { func(args...); }
};

template <class... Args>
struct Signal {
  using Node = SignalCallback<Args...>;
  Node* head = nullptr;

  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  ~Signal() { clear(); }

  // Takes ownership of the node and puts it at the head of the list.
  void add(Node* node) {
    node->next = head;
    head = node;
  }

  // Returns the node, which disconnect takes.
  template <class F>
  Node* connect(F func) {
    Node* node = new FuncSignalCallback<F, Args...>(std::move(func));
    add(node);
    return node;
  }

  void fire(Args... args) const {
    struct Depth {
      Depth() { signal_fire_begin(); }
      ~Depth() { signal_fire_end(); }
    } depth;
    // Nodes added by a callback go to the head and are not reached by this walk.
    // A node that left the list meanwhile is skipped; its next still leads on
    // through older nodes, as it is not deleted before the walk ends.
    for (Node* node = head; node;) {
      Node* next = node->next;
      if (contains(node))
        node->invoke(args...);
      node = next;
    }
  }

  // Takes node out of the list and deletes it; false when it is not in the list.
  bool disconnect(Node* node) {
    for (Node** link = &head; *link; link = &(*link)->next) {
      if (*link != node)
        continue;
      *link = node->next;
      signal_delete_node(node, destroy_node);
      return true;
    }
    return false;
  }

  void clear() {
    Node* node = head;
    head = nullptr;
    while (node) {
      Node* next = node->next;
      signal_delete_node(node, destroy_node);
      node = next;
    }
  }

  bool contains(const Node* node) const {
    for (const Node* n = head; n; n = n->next)
      if (n == node)
        return true;
    return false;
  }

  bool isEmpty() const { return head == nullptr; }

 private:
  static void destroy_node(void* node) { delete static_cast<Node*>(node); }
};
