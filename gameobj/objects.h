#pragma once
// The stand-in module's object classes: the 27 listed classes and the rest of the
// 45 class slots, each with its class table reported to the host.
/*
import gameobj_api
*/
#include "gameobj/gameobj_api.h"

#ifndef GAMEOBJ_GENERATION
#define GAMEOBJ_GENERATION 1
#endif

// Every class of the module answers the generation request with the build's number,
// so a reload shows in each object's class table.
template <class Base>
struct StandInObject : Base {
  // Kept in the object, so that it survives a module reload.
  __m128 pos = _mm_setr_ps(0, 0, 0, 1);
  __m128 target = _mm_setr_ps(0, 0, 0, 1);
  int health = 0;

  int handleRequest(int request) override {
    return request == GAMEOBJ_REQUEST_GENERATION ? GAMEOBJ_GENERATION : 0;
  }
};

#define GAMEOBJ_DEFINE_CLASS(name)                          \
  class name : public StandInObject<GameObj> {              \
   public:                                                  \
    const char* className() override { return #name; }      \
  };
GAMEOBJ_LIST_NAMES(GAMEOBJ_DEFINE_CLASS)
#undef GAMEOBJ_DEFINE_CLASS

void** module_class_tables();
