#include "hero_driver.h"

#include <algorithm>
#include <cmath>

#include "engine/render/d3d_device.h"
#include "engine/shared/level_map.h"
#include "engine/shell/controls.h"
#include "engine/world/camera.h"
#include "engine/world/gameobj_api.h"
#include "game_run.h"

namespace play {

namespace {

constexpr float DEVIATION = 1.5f;   // cells between the model and the hero that end a route
constexpr int REPLAN_WAIT = 40;     // updates between searches that found nothing
constexpr float SHOOT_RANGE_X = 150, SHOOT_RANGE_Y = 80;

float lane(__m128 v, int i) {
  alignas(16) float f[4];
  _mm_store_ps(f, v);
  return f[i];
}

template <class T>
void add_live(std::vector<GameObj*>& out, DynArray<T*>& list) {
  for (int i = 0; i < list.size(); i++) {
    GameObj* o = reinterpret_cast<GameObj*>(list[i]);
    if (o->flags == OBJ_LIVE)
      out.push_back(o);
  }
}

std::vector<GameObj*> live_enemies() {
  std::vector<GameObj*> out;
  add_live(out, EnemyHFly_list);
  add_live(out, EnemyHWheels_list);
  add_live(out, EnemyMagnetSpikes_list);
  add_live(out, EnemySimpleJumper_list);
  add_live(out, EnemySimpleSpike_list);
  add_live(out, EnemyTWheels_list);
  add_live(out, EnemyVFly_list);
  add_live(out, BossPart_list);
  add_live(out, Boss1_list);
  add_live(out, Boss2_list);
  return out;
}

}  // namespace

std::vector<std::array<float, 4>> live_enemy_boxes() {
  std::vector<std::array<float, 4>> out;
  for (GameObj* e : live_enemies())
    out.push_back({lane(e->bbox, 0), lane(e->bbox, 1), lane(e->bbox, 2), lane(e->bbox, 3)});
  return out;
}

bool find_exit_box(float box[4]) {
  int xp = -1, yp = -1;
  for (int y = 0; y < LEVEL_HEIGHT; y++)
    for (int x = LEVEL_WIDTH - 1; x > xp; x--)
      if (level_data[y][x].collision == 3) {
        xp = x, yp = y;
        break;
      }
  if (xp < 0)
    return false;
  constexpr int WINDOW = 32;
  int x0 = xp, y0 = yp, x1 = xp, y1 = yp;
  for (int y = std::max(yp - WINDOW, 0); y <= std::min(yp + WINDOW, LEVEL_HEIGHT - 1); y++)
    for (int x = std::max(xp - WINDOW, 0); x <= std::min(xp + WINDOW, LEVEL_WIDTH - 1); x++)
      if (level_data[y][x].collision == 3) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  box[0] = float(x0), box[1] = float(y0), box[2] = float(x1 + 1), box[3] = float(y1 + 1);
  return true;
}

bool boxes_meet(const float a[4], const float b[4], float margin) {
  return a[0] - margin < b[2] && b[0] < a[2] + margin && a[1] - margin < b[3] && b[1] < a[3] + margin;
}

void HeroDriver::setGoal(RouteGoal goal, Guide guide) {
  goal_ = std::move(goal);
  guide_ = std::move(guide);
  route_.clear();
  sinceSearch_ = REPLAN_WAIT;
  searchFailed_ = false;
}

void HeroDriver::clearGoal() {
  goal_ = nullptr;
  route_.clear();
}

void HeroDriver::press(int button, bool down) {
  if (down_[button] == down)
    return;
  down_[button] = down;
  key(button_keys[button], down);
}

void HeroDriver::applyInput(const HeroInput& in) {
  press(BUTTON_LEFT, in.dir < 0);
  press(BUTTON_RIGHT, in.dir > 0);
  press(BUTTON_JUMP, in.jumpHeld);
}

void HeroDriver::releaseAll() {
  route_.clear();
  for (int b = 0; b < 6; b++)
    press(b, false);
}

// The pointer on the nearest enemy within reach of the screen, the trigger held.
void HeroDriver::aim() {
  float hx, hy;
  read_hero_pos(hx, hy);
  GameObj* best = nullptr;
  float best_d = 1e30f;
  for (GameObj* e : live_enemies()) {
    float ex = (lane(e->bbox, 0) + lane(e->bbox, 2)) * 0.5f, ey = (lane(e->bbox, 1) + lane(e->bbox, 3)) * 0.5f;
    if (std::fabs(ex - hx) > SHOOT_RANGE_X || std::fabs(ey - hy) > SHOOT_RANGE_Y)
      continue;
    float d = std::fabs(ex - hx) + std::fabs(ey - hy);
    if (d < best_d)
      best = e, best_d = d;
  }
  if (!shooting || !best) {
    press(BUTTON_SHOOT_PRI, false);
    return;
  }
  __m128 cam = get_camera_pos();
  float s = float(std::max(1, d3d_ht / 180));
  float ex = (lane(best->bbox, 0) + lane(best->bbox, 2)) * 0.5f, ey = (lane(best->bbox, 1) + lane(best->bbox, 3)) * 0.5f;
  int px = int((ex - lane(cam, 0)) * s + d3d_wd * 0.5f), py = int(d3d_ht * 0.5f - (ey - lane(cam, 1)) * s);
  pointer_to(std::clamp(px, 0, d3d_wd - 1), std::clamp(py, 0, d3d_ht - 1));
  press(BUTTON_SHOOT_PRI, true);
}

void HeroDriver::plan(float x, float y) {
  HeroBody body;
  if (!read_hero_body(body))
    return;
  HeroState start;
  start.x = x, start.y = y, start.onGround = true;
  RouteSearch search;
  route_ = find_route(start, body, goal_, guide_, search);
  searches_++;
  sinceSearch_ = 0;
  searchFailed_ = route_.empty();
  leg_ = step_ = 0;
}

void HeroDriver::update() {
  if (Hero_list.isEmpty()) {
    releaseAll();
    return;
  }
  aim();
  float x, y;
  read_hero_pos(x, y);
  still_ = (x == lastX_ && y == lastY_) ? still_ + 1 : 0;
  lastX_ = x, lastY_ = y;
  sinceSearch_++;

  if (!route_.empty() && step_ > 0) {
    const HeroState& want = route_[leg_].states[step_ - 1];
    if (std::fabs(want.x - x) > DEVIATION || std::fabs(want.y - y) > DEVIATION) {
      deviations_++;
      route_.clear();
    } else if (step_ == route_[leg_].states.size()) {
      legsPlayed_++;
      leg_++;
      step_ = 0;
      if (leg_ == route_.size())
        route_.clear();
    }
  }
  if (route_.empty()) {
    applyInput(HeroInput{});
    // Plans only from a standing hero; a search that found nothing waits a while.
    if (!goal_ || still_ < 2 || (searchFailed_ && sinceSearch_ < REPLAN_WAIT))
      return;
    plan(x, y);
    if (route_.empty())
      return;
  }
  applyInput(route_[leg_].move.input(int(step_)));
  step_++;
}

}  // namespace play
