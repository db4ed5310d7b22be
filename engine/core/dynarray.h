#pragma once
// DynArray: the engine's growable array. Elements are relocated as raw bytes
// (reallocation and overlapping moves), so an element type must stay valid when
// its bytes move to another address. Range violations fail through ASSERT.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "engine/core/fatal.h"
#include "engine/core/mem.h"

template <class T, class A = DefaultAllocator>
struct DynArray {
  T* data = nullptr;
  int num = 0;
  int capacity = 0;

  // Compare function of sort: (context, pointer to a, pointer to b) -> <0, 0, >0.
  using CompareFunc = int (*)(void* context, const void* a, const void* b);

  DynArray() = default;
  DynArray(const DynArray& other) { copyFrom(other); }
  DynArray(DynArray&& other) noexcept : data(other.data), num(other.num), capacity(other.capacity) {
    other.detach();
  }
  ~DynArray() { clearAndFree(); }

  DynArray& operator=(const DynArray& other) {
    if (this != &other) {
      clear();
      copyFrom(other);
    }
    return *this;
  }
  DynArray& operator=(DynArray&& other) noexcept {
    if (this != &other) {
      clearAndFree();
      data = other.data;
      num = other.num;
      capacity = other.capacity;
      other.detach();
    }
    return *this;
  }

  int size() const { return num; }
  bool isEmpty() const { return num == 0; }
  T& operator[](int i) { return data[i]; }
  const T& operator[](int i) const { return data[i]; }
  T* begin() { return data; }
  T* end() { return data + num; }
  const T* begin() const { return data; }
  const T* end() const { return data + num; }

  T& last() {
    ASSERT(num>0);
    return data[num - 1];
  }
  const T& last() const {
    ASSERT(num>0);
    return data[num - 1];
  }

  // Reallocates to exactly n slots when n exceeds the capacity; never shrinks.
  void reserve(int n) {
    ASSERT(n>=0);
    if (n <= capacity)
      return;
    T* np = (T*)A::realloc((void*)data, (size_t)n * sizeof(T));
    ASSERT(np);
    data = np;
    capacity = n;
  }

  // Room for n more elements: doubling, or the needed count plus `step` when
  // doubling is not enough, never below `step`.
  void grow(int n, int step) {
    int need = num + n;
    if (need <= capacity)
      return;
    int c = 2 * capacity;
    if (c < need)
      c = need + step;
    if (c < step)
      c = step;
    reserve(c);
  }

  // Inserts n elements before `at`: copies of src[0..n), or value-initialised
  // elements when src is null. src may point into this array.
  void insert(int at, int n, const T* src) {
    ASSERT(n>=0);
    ASSERT(at>=0 && at<=num);
    if (src && n > 0 && overlapsStorage(src, n)) {
      // The source would move or vanish while making room: insert from a copy.
      DynArray copy;
      copy.insert(0, n, src);
      insert(at, n, copy.data);
      return;
    }
    grow(n, 8);
    if (at < num)
      memmove((void*)(data + at + n), (const void*)(data + at), (size_t)(num - at) * sizeof(T));
    num += n;
    for (int i = 0; i < n; i++) {
      if (src)
        new (data + at + i) T(src[i]);
      else
        new (data + at + i) T();
    }
  }

  void append(int n, const T* src) { insert(num, n, src); }

  T& push(const T* src = nullptr) {
    insert(num, 1, src);
    return data[num - 1];
  }

  // Destroys n elements at `at` and shifts the tail down; returns the new count.
  int remove(int at, int n) {
    checkRange(at, n);
    destroy(at, n);
    if (at + n < num)
      memmove((void*)(data + at), (const void*)(data + at + n), (size_t)(num - at - n) * sizeof(T));
    num -= n;
    return num;
  }

  // Destroys n elements at `at` and fills the hole with the last elements.
  void removeUnordered(int at, int n) {
    checkRange(at, n);
    destroy(at, n);
    int m = num - (at + n);
    if (m > n)
      m = n;
    if (m > 0)
      memcpy((void*)(data + at), (const void*)(data + num - m), (size_t)m * sizeof(T));
    num -= n;
  }

  void resize(int n) {
    ASSERT(n>=0);
    if (n <= num) {
      remove(n, num - n);
      return;
    }
    reserve(n);
    append(n - num, nullptr);
  }

  void clear() { remove(0, num); }

  void clearAndFree() {
    clear();
    A::free((void*)data);
    data = nullptr;
    capacity = 0;
  }

  // Forgets the storage without releasing it (the owner took it over).
  void detach() {
    data = nullptr;
    num = 0;
    capacity = 0;
  }

  void sort(CompareFunc cmp, void* context) {
    if (num < 2)
      return;
    struct Call {
      CompareFunc cmp;
      void* context;
    } call{cmp, context};
    qsort_r((void*)data, (size_t)num, sizeof(T),
            [](const void* a, const void* b, void* c) {
              const Call* call = (const Call*)c;
              return call->cmp(call->context, a, b);
            },
            &call);
  }

 private:
  void checkRange(int at, int n) const {
    ASSERT(n>=0);
    ASSERT(at>=0 && at<=num);
    ASSERT(at+n<=num);
  }

  bool overlapsStorage(const T* src, int n) const {
    uintptr_t s = (uintptr_t)src, d = (uintptr_t)data;
    return s < d + (size_t)capacity * sizeof(T) && s + (size_t)n * sizeof(T) > d;
  }

  void destroy(int at, int n) {
    if constexpr (!std::is_trivially_destructible_v<T>) {
      for (int i = 0; i < n; i++)
        data[at + i].~T();
    }
  }

  void copyFrom(const DynArray& other) {
    reserve(other.num);
    append(other.num, other.data);
  }
};
