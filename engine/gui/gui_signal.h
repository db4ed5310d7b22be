#pragma once
// Signals of GUI elements: a singly linked list of callback nodes. Firing a
// signal invokes every node from the head to the end. The list owns its nodes.
#include <utility>

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
  SignalCallback<Args...>* head = nullptr;

  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  ~Signal() { clear(); }

  // Takes ownership of the node and puts it at the head of the list.
  void add(SignalCallback<Args...>* node) {
    node->next = head;
    head = node;
  }

  template <class F>
  void connect(F func) {
    add(new FuncSignalCallback<F, Args...>(std::move(func)));
  }

  void fire(Args... args) const {
    // Nodes added by a callback go to the head and are not reached by this walk.
    for (SignalCallback<Args...>* node = head; node;) {
      SignalCallback<Args...>* next = node->next;
      node->invoke(args...);
      node = next;
    }
  }

  void clear() {
    while (head) {
      SignalCallback<Args...>* next = head->next;
      delete head;
      head = next;
    }
  }

  bool isEmpty() const { return head == nullptr; }
};
