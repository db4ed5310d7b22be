#pragma once
// Routes through the level map for the hero model: a search over the places where
// the hero stands still, joined by short runs and by jumps (a fixed set of input
// patterns, each simulated through the level's cells until the hero stands again).
#include <functional>
#include <vector>

#include "hero_model.h"

namespace play {

// One input pattern, started with the hero standing: the direction is held for
// `hold` updates and jump for `jump` updates (pressed in the first); afterwards no
// input until the hero stands still.
struct Move {
  int dir = 0;
  int hold = 0;
  int jump = 0;
  HeroInput input(int step) const {
    HeroInput in;
    in.dir = step < hold ? dir : 0;
    in.jumpHeld = step < jump;
    in.jumpPressed = step == 0 && jump > 0;
    return in;
  }
};

// A move of a route and where the model expects the hero after each of its updates.
struct RouteLeg {
  Move move;
  std::vector<HeroState> states;
};

// True when the hero's box (x0, y0, x1, y1) is where the route should lead.
using RouteGoal = std::function<bool(const float box[4])>;

struct RouteSearch {
  int maxNodes = 60000;  // places expanded before giving up
  int nodesExpanded = 0;
};

// The quickest route (in updates) from a standing hero to a box that meets the goal,
// or an empty one when none was found. `guide` gives a lower bound of the updates
// left from a place (0 for a plain search).
std::vector<RouteLeg> find_route(const HeroState& start, const HeroBody& body, const RouteGoal& goal,
                                 const std::function<float(float x, float y)>& guide, RouteSearch& search);

// The moves tried from each place.
const std::vector<Move>& route_moves();

// Runs one move in the model from a standing state: the states after each update,
// ending when the hero stands still again, meets the goal, or after too many updates
// (then false).
bool simulate_move(const HeroState& start, const Move& m, const HeroBody& body, const RouteGoal& goal,
                   std::vector<HeroState>& states, bool& reached);

}  // namespace play
