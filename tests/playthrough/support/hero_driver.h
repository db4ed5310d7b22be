#pragma once
// Steers the hero as a player would, through the bound keys and the mouse: waits
// until the hero stands, finds a route to the goal in the level map, plays its moves
// while comparing where the hero is with where the model put it, and plans again
// from where it stands when they part (an enemy's knock, a lift). Shoots at the
// nearest enemy on the screen while it walks, unless told not to.
#include <array>
#include <functional>
#include <vector>

#include "route.h"

namespace play {

// The level's exit as the module finds it: the box of the lift cells around the lowest
// lift cell of the rightmost column that has one; false when the level has none.
bool find_exit_box(float box[4]);

// The live enemies' boxes (x0, y0, x1, y1).
std::vector<std::array<float, 4>> live_enemy_boxes();

// True when the boxes (x0, y0, x1, y1) overlap once `a` is grown by `margin`.
bool boxes_meet(const float a[4], const float b[4], float margin);

class HeroDriver {
 public:
  using Guide = std::function<float(float x, float y)>;

  // A new goal: the hero is steered to it from the next time it stands still.
  void setGoal(RouteGoal goal, Guide guide);
  void clearGoal();
  bool shooting = true;

  // After every update: reads the hero and posts the input of the next update.
  void update();
  // Lets go of every key and the mouse button.
  void releaseAll();

  // The last search from a standing hero found no route.
  bool lastSearchFailed() const { return searchFailed_; }
  int searches() const { return searches_; }
  int legsPlayed() const { return legsPlayed_; }
  int deviations() const { return deviations_; }

 private:
  void press(int button, bool down);
  void applyInput(const HeroInput& in);
  void aim();
  void plan(float x, float y);

  RouteGoal goal_;
  Guide guide_;
  std::vector<RouteLeg> route_;
  size_t leg_ = 0;
  size_t step_ = 0;
  float lastX_ = -1e9f, lastY_ = -1e9f;
  int still_ = 0;
  int sinceSearch_ = 0;
  bool down_[6] = {};
  bool searchFailed_ = false;
  int searches_ = 0, legsPlayed_ = 0, deviations_ = 0;
};

}  // namespace play
