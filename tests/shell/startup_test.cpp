// Pieces of program entry that can be checked in-process: the PhysicsFS allocator
// and the shut-down lock refusing a nested shut-down on its own thread.
#include <cstdint>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "engine/core/fatal.h"
#include "engine/shell/shell.h"
#include "tests/shell/test_env.h"

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

}  // namespace
