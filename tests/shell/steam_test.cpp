// Steam glue without a Steam client: the game runs on, every entry point is harmless.
#include <gtest/gtest.h>

#include "engine/shell/steam_glue.h"
#include "tests/support/test_env.h"

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

namespace {

int delivered_a = 0, delivered_b = 0;
int last_value = 0;
void callback_a(void* data) {
  delivered_a++;
  last_value = *(int*)data;
}
void callback_b(void*) { delivered_b++; }

// With the layer's stand-in client the glue's "up" road can be followed.
class SteamWithClient : public ::testing::Test {
 protected:
  void SetUp() override {
    steam_layer_simulate_client(true);
    steam_layer_clear_call_log();
    delivered_a = delivered_b = 0;
  }
  void TearDown() override {
    close_steam();
    steam_layer_simulate_client(false);
  }
};

TEST_F(SteamWithClient, InitRegistersDeliversAndRemoves) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(init_steam());
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Steam API init OK"), std::string::npos) << log;
  EXPECT_NE(log.find("Steam input init OK"), std::string::npos) << log;
  EXPECT_TRUE(is_steam_initialized());

  _register_steam_callback(callback_a, 101, 4);
  _register_steam_callback(callback_a, 101, 4);  // the same id twice: runs twice
  _register_steam_callback(callback_a, 102, 4);
  _register_steam_callback(callback_b, 101, 4);
  ASSERT_EQ(steam_callbacks.size(), 4);
  int value = 42;
  steam_layer_post_callback(101, &value, sizeof(value));
  run_steam_callbacks();
  EXPECT_EQ(delivered_a, 2);
  EXPECT_EQ(delivered_b, 1);
  EXPECT_EQ(last_value, 42);

  // Removing a function removes every entry of it, keeping the others in order.
  remove_steam_callback(callback_a);
  ASSERT_EQ(steam_callbacks.size(), 1);
  EXPECT_EQ(steam_callbacks[0]->function, callback_b);
  EXPECT_EQ(steam_layer_registered_count(), 1);
  steam_layer_post_callback(102, &value, sizeof(value));
  run_steam_callbacks();
  EXPECT_EQ(delivered_a, 2) << "removed";
}

int self_removing_runs = 0;
void callback_removing_itself(void*) {
  self_removing_runs++;
  remove_steam_callback(callback_removing_itself);
  // New registrations made meanwhile wait for the next callback of their id.
  _register_steam_callback(callback_b, 5, 4);
  _register_steam_callback(callback_b, 5, 4);
}

TEST_F(SteamWithClient, CallbackRemovingItselfWhileRunningIsNotCalledAgain) {
  ASSERT_TRUE(init_steam());
  self_removing_runs = 0;
  _register_steam_callback(callback_removing_itself, 5, 4);
  _register_steam_callback(callback_removing_itself, 5, 4);
  _register_steam_callback(callback_b, 5, 4);
  int value = 9;
  steam_layer_post_callback(5, &value, sizeof(value));
  run_steam_callbacks();
  EXPECT_EQ(self_removing_runs, 1) << "its second entry was removed (and deleted) by the first run";
  EXPECT_EQ(delivered_b, 1) << "the others of the same id still run; the new ones not yet";
  ASSERT_EQ(steam_callbacks.size(), 3);
  EXPECT_EQ(steam_layer_registered_count(), 3);
  steam_layer_post_callback(5, &value, sizeof(value));
  run_steam_callbacks();
  EXPECT_EQ(delivered_b, 4);
}

TEST_F(SteamWithClient, ShutdownDeletesCallbacksLastFirstThenStopsTheApi) {
  ASSERT_TRUE(init_steam());
  _register_steam_callback(callback_a, 1, 4);
  _register_steam_callback(callback_b, 2, 4);
  _register_steam_callback(callback_a, 3, 4);
  steam_layer_clear_call_log();
  close_steam();
  EXPECT_STREQ(steam_layer_call_log(), "unregister 3\nunregister 2\nunregister 1\ninput shutdown\nshutdown\n");
  EXPECT_EQ(steam_callbacks.size(), 0);
  EXPECT_EQ(steam_callbacks.capacity, 0) << "storage freed";
  EXPECT_FALSE(is_steam_initialized());
  _register_steam_callback(callback_a, 1, 4);
  EXPECT_EQ(steam_callbacks.size(), 0) << "no registering after shut-down";
}

}  // namespace
