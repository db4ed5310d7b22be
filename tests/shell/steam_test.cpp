// Steam glue without a Steam client: the game runs on, every entry point is harmless.
#include <gtest/gtest.h>

#include "engine/shell/steam_glue.h"
#include "tests/shell/test_env.h"

namespace {

int calls = 0;
void on_callback(void*) { calls++; }

TEST(Steam, WithoutClientEverythingIsANoOp) {
  testing::internal::CaptureStdout();
  bool ok = init_steam();
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(ok);
  EXPECT_NE(log.find("Error initializing Steam API"), std::string::npos) << log;
  EXPECT_EQ(log.find("Steam API init OK"), std::string::npos);
  EXPECT_FALSE(is_steam_initialized());

  _register_steam_callback(on_callback, 1, 16);
  _register_steam_callback(on_callback, 2, 16);
  EXPECT_EQ(steam_callbacks.size(), 0) << "registering needs a running API";
  EXPECT_EQ(steam_layer_registered_count(), 0);
  run_steam_callbacks();
  remove_steam_callback(on_callback);
  close_steam();
  close_steam();  // a second shut-down is harmless too
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(is_steam_initialized());
}

TEST(Steam, CallbackObjectsRegisterAndRemoveWithTheLayer) {
  // The objects themselves follow the API's registry whether or not it is up:
  // what remove_steam_callback and close_steam rely on.
  int before = steam_layer_registered_count();
  {
    SteamCallback a(on_callback, 7, 24);
    SteamCallback b(on_callback, 8, 32);
    EXPECT_EQ(steam_layer_registered_count(), before + 2);
    EXPECT_EQ(a.m_iCallback, 7);
    EXPECT_EQ(b.GetCallbackSizeBytes(), 32);
    int value = 0;
    a.Run(&value);
    a.Run(&value, false, 0);
    EXPECT_EQ(calls, 2);
  }
  EXPECT_EQ(steam_layer_registered_count(), before) << "destroying unregisters";
}

}  // namespace
