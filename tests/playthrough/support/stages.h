#pragma once
// A run of the game as a list of stages: each is stepped after every update until it
// says it is done, within a number of updates; a stage that takes longer fails the
// test and closes the game.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "game_run.h"

namespace play {

struct Stage {
  std::string name;
  int limit;                          // updates the stage may take
  std::function<bool(int n)> step;    // n counts the stage's updates from 0; true: done
};

class StageRunner {
 public:
  explicit StageRunner(std::vector<Stage> stages) : stages_(std::move(stages)) {}

  // The update hook: steps the current stage; closes the game after the last one or
  // when one fails.
  void operator()(int) {
    if (done_)
      return;
    if (current_ >= stages_.size() || ::testing::Test::HasFatalFailure()) {
      finish();
      return;
    }
    Stage& s = stages_[current_];
    if (s.step(n_)) {
      printf("stage '%s' done after %d updates (update %d)\n", s.name.c_str(), n_ + 1, updates_done());
      fflush(stdout);
      current_++;
      n_ = 0;
      if (current_ == stages_.size())
        finish();
      return;
    }
    if (++n_ > s.limit) {
      ADD_FAILURE() << "stage '" << s.name << "' did not end within " << s.limit << " updates";
      finish();
    }
  }

  // Every stage ran to its end.
  bool completed() const { return current_ == stages_.size(); }
  const std::string& current_name() const {
    static const std::string none = "(none)";
    return current_ < stages_.size() ? stages_[current_].name : none;
  }

 private:
  void finish() {
    done_ = true;
    quit();
  }
  std::vector<Stage> stages_;
  size_t current_ = 0;
  int n_ = 0;
  bool done_ = false;
};

}  // namespace play
