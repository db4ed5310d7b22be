#pragma once
// The Steamworks calls the engine makes. No Steam client exists on this platform:
// SteamAPI_Init reports failure and the game runs on without Steam. The callback
// registry still works, so that registration and shut-down follow the same road
// as with a client; RunCallbacks has nothing to deliver.
#include <cstdint>

typedef int32_t HSteamUser;
typedef int32_t HSteamPipe;
typedef uint64_t SteamAPICall_t;

// Base of every registered callback object, as the API keeps it.
class CCallbackBase {
 public:
  CCallbackBase() : m_nCallbackFlags(0), m_iCallback(0) {}
  virtual void Run(void* param, bool io_failure, SteamAPICall_t api_call) = 0;
  virtual void Run(void* param) = 0;
  virtual int GetCallbackSizeBytes() = 0;

 protected:
  virtual ~CCallbackBase() = default;

 public:
  enum { k_ECallbackFlagsRegistered = 0x01, k_ECallbackFlagsGameServer = 0x02 };
  uint8_t m_nCallbackFlags;
  int m_iCallback;
};

// The Steam Input interface; the engine uses its first two operations.
class ISteamInput {
 public:
  virtual bool Init() = 0;
  virtual bool Shutdown() = 0;

 protected:
  virtual ~ISteamInput() = default;
};

#define STEAMINPUT_INTERFACE_VERSION "SteamInput001"

bool SteamAPI_Init();
void SteamAPI_Shutdown();
void SteamAPI_RunCallbacks();
void SteamAPI_RegisterCallback(CCallbackBase* callback, int callback_id);
void SteamAPI_UnregisterCallback(CCallbackBase* callback);
HSteamUser SteamAPI_GetHSteamUser();

// Context of interface accessors: the initialiser fills the context once.
struct CSteamAPIContextInitData {
  void (*pFn)(void* ctx);
  uintptr_t counter;
  void* ptr;
};
void* SteamInternal_ContextInit(void* context_init_data);
void* SteamInternal_FindOrCreateUserInterface(HSteamUser user, const char* version);

// The registered callbacks (for the glue's own checks): how many there are.
int steam_layer_registered_count();

// Test seam: a stand-in client. While on, SteamAPI_Init succeeds, Steam Input is
// there, posted callback data is delivered by the next SteamAPI_RunCallbacks to every
// object registered for its id, and the layer's calls are written to a log
// ("register 5", "unregister 5", "input init", "input shutdown", "shutdown").
void steam_layer_simulate_client(bool on);
void steam_layer_post_callback(int callback_id, const void* data, int size);
const char* steam_layer_call_log();
void steam_layer_clear_call_log();
