#include "route.h"

#include <cmath>
#include <queue>
#include <unordered_map>

#include "engine/shared/level_map.h"

namespace play {

namespace {

constexpr int MAX_MOVE_UPDATES = 90;

// Places are told apart by the cell of the feet.
int64_t place_key(const HeroState& s) {
  return (int64_t(std::floor(s.y)) << 20) | int64_t(int(std::floor(s.x)) & 0xFFFFF);
}

// Standing on a lift tile means riding it away: no place to plan from.
bool on_lift_tile(const HeroState& s, const HeroBody& body) {
  int row = int(std::floor(s.y)) - 1;
  if (row < 0 || row >= LEVEL_HEIGHT)
    return false;
  for (int c = int(std::floor(s.x + body.ext[0])); c < int(std::ceil(s.x + body.ext[2])); c++)
    if (c >= 0 && c < LEVEL_WIDTH && level_data[row][c].collision == 3)
      return true;
  return false;
}

struct Node {
  HeroState state;
  int cost;    // updates from the start
  int parent;  // -1 for the start
  Move move;   // how this node was reached from its parent
  bool goal;
};

struct Open {
  float f;
  int node;
  bool operator<(const Open& o) const { return f > o.f; }
};

}  // namespace

const std::vector<Move>& route_moves() {
  static const std::vector<Move> moves = [] {
    std::vector<Move> m;
    for (int dir : {-1, 1})
      for (int hold : {1, 2, 3, 5, 8, 12})
        m.push_back(Move{dir, hold, 0});
    for (int jump : {1, 3, 9})
      m.push_back(Move{0, 0, jump});
    for (int dir : {-1, 1})
      for (int jump : {1, 3, 9})
        for (int hold : {1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 15, 18, 22})
          m.push_back(Move{dir, hold, jump});
    return m;
  }();
  return moves;
}

bool simulate_move(const HeroState& start, const Move& m, const HeroBody& body, const RouteGoal& goal,
                   std::vector<HeroState>& states, bool& reached) {
  states.clear();
  reached = false;
  HeroState s = start;
  for (int step = 0; step < MAX_MOVE_UPDATES; step++) {
    hero_step(s, m.input(step), body);
    states.push_back(s);
    float box[4];
    hero_box(s, body, box);
    if (goal && goal(box)) {
      reached = true;
      return true;
    }
    if (step + 1 >= m.hold && step + 1 >= m.jump && s.atRest())
      return true;
  }
  return false;
}

std::vector<RouteLeg> find_route(const HeroState& start, const HeroBody& body, const RouteGoal& goal,
                                 const std::function<float(float x, float y)>& guide, RouteSearch& search) {
  std::vector<Node> nodes;
  std::unordered_map<int64_t, int> best;  // place -> node
  std::priority_queue<Open> open;
  nodes.push_back(Node{start, 0, -1, Move{}, false});
  best[place_key(start)] = 0;
  open.push(Open{guide ? guide(start.x, start.y) : 0.0f, 0});
  search.nodesExpanded = 0;
  std::vector<HeroState> states;

  while (!open.empty()) {
    Open o = open.top();
    open.pop();
    Node& n = nodes[size_t(o.node)];
    if (n.goal) {
      // The moves again from their parents, as the search ran them.
      std::vector<RouteLeg> route;
      for (int i = o.node; nodes[size_t(i)].parent >= 0; i = nodes[size_t(i)].parent) {
        RouteLeg leg{nodes[size_t(i)].move, {}};
        bool reached = false;
        simulate_move(nodes[size_t(nodes[size_t(i)].parent)].state, leg.move, body, goal, leg.states, reached);
        route.insert(route.begin(), std::move(leg));
      }
      return route;
    }
    if (best[place_key(n.state)] != o.node)
      continue;  // reached more cheaply since
    if (++search.nodesExpanded > search.maxNodes)
      break;
    HeroState from = n.state;
    int cost = n.cost;
    for (const Move& m : route_moves()) {
      bool reached = false;
      if (!simulate_move(from, m, body, goal, states, reached))
        continue;
      const HeroState& end = states.back();
      int c = cost + int(states.size());
      if (!reached && on_lift_tile(end, body))
        continue;
      int64_t key = place_key(end);
      if (!reached) {
        auto it = best.find(key);
        if (it != best.end() && nodes[size_t(it->second)].cost <= c)
          continue;
      }
      nodes.push_back(Node{end, c, o.node, m, reached});
      int id = int(nodes.size()) - 1;
      if (!reached)
        best[key] = id;
      open.push(Open{float(c) + (reached || !guide ? 0.0f : guide(end.x, end.y)), id});
    }
  }
  return {};
}

}  // namespace play
