// Pieces of program entry that can be checked in-process: the PhysicsFS allocator
// and the shut-down lock refusing a nested shut-down on its own thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "engine/core/fatal.h"
#include "engine/shell/shell.h"
#include "tests/support/test_env.h"

namespace {

TEST(Startup, PhysfsAllocatorRefusesFourGigabytesAndMore) {
  EXPECT_EQ(physfs_malloc(1ull << 32), nullptr);
  EXPECT_EQ(physfs_malloc((1ull << 32) + 16), nullptr);
  void* p = physfs_malloc(100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ((uintptr_t)p % 16, 0u);
  memset(p, 0x5A, 100);
  EXPECT_EQ(physfs_realloc(p, 1ull << 32), nullptr) << "refused; the old block stays valid";
  void* q = physfs_realloc(p, 5000);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(((unsigned char*)q)[99], 0x5A);
  physfs_free(q);
  physfs_free(nullptr);
}

int steps_run = 0;
bool nested_refused = false;

void shutdown_that_nests() {
  steps_run++;
  try {
    close_all_systems();
  } catch (const std::system_error& e) {
    nested_refused = e.code() == std::errc::resource_deadlock_would_occur;
  }
}

TEST(Startup, NestedShutdownOnTheSameThreadIsRefused) {
  set_close_all_systems(shutdown_that_nests);
  close_all_systems();
  EXPECT_EQ(steps_run, 1) << "the steps never run twice";
  EXPECT_TRUE(nested_refused);
  // Another thread's shut-down waits for the first and then runs the steps again.
  std::thread other([] { close_all_systems(); });
  other.join();
  EXPECT_EQ(steps_run, 2);
  set_close_all_systems(nullptr);
}

// A second thread asks for the shut-down while the first one is inside it.
std::atomic<int> threads_inside{0};
std::atomic<int> overlapping_runs{0};
std::atomic<int> finished_runs{0};
int runs_seen_by_the_first = -1;
std::thread late_caller;

void shutdown_joined_by_another_thread() {
  if (threads_inside.fetch_add(1) > 0)
    overlapping_runs++;
  if (!late_caller.joinable()) {
    late_caller = std::thread([] { close_all_systems(); });
    // Give the other thread every chance to get in: it must wait at the lock.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    runs_seen_by_the_first = finished_runs.load();
  }
  threads_inside--;
  finished_runs++;
}

TEST(Startup, ShutdownFromAnotherThreadWaitsForTheRunningOne) {
  set_close_all_systems(shutdown_joined_by_another_thread);
  close_all_systems();
  late_caller.join();
  EXPECT_EQ(runs_seen_by_the_first, 0) << "the second shut-down did not start while the first ran";
  EXPECT_EQ(overlapping_runs.load(), 0);
  EXPECT_EQ(finished_runs.load(), 2) << "it ran once the first had finished";
  set_close_all_systems(nullptr);
}

}  // namespace
