#pragma once
// Bonuses lying about the level: a heart gives health back, an up-bonus gives
// upgrade points. The hero takes them by touching them.
/*
import actor
*/
#include "gameobj/actor.h"

class Hero;

class Bonus : public Actor {
 public:
  Bonus();
  void update(float dt) override;
  // The hero touched it; true when it was taken (and is gone).
  virtual bool collect(Hero* hero) = 0;
};

class HeartBonus : public Bonus {
  ACTOR_CLASS(HeartBonus)
  static constexpr int HEAL = 25;
  bool collect(Hero* hero) override;
  void render(float t) override;
};

class UpBonus : public Bonus {
  ACTOR_CLASS(UpBonus)
  static constexpr int POINTS = 2;
  bool collect(Hero* hero) override;
  void render(float t) override;
};
