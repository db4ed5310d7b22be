// Steam without a client: initialisation fails, the callback registry is kept. A
// stand-in client for tests can be switched on (steam_layer_simulate_client).
#include "platform/steam/steam_api.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Each registration gets its own number, so that a dispatch in progress can tell a
// callback still registered from a new one made at the address of a deleted one.
struct Registration {
  CCallbackBase* callback;
  uint64_t number;
};
std::vector<Registration> registered;
uint64_t next_registration = 1;

bool still_registered(const Registration& r) {
  for (const Registration& now : registered)
    if (now.callback == r.callback && now.number == r.number)
      return true;
  return false;
}
bool client_simulated = false;
bool api_up = false;
std::string call_log;

struct PostedCallback {
  int id;
  std::vector<uint8_t> data;
};
std::vector<PostedCallback> posted;

void log_call(const std::string& text) {
  if (client_simulated)
    call_log += text + "\n";
}

class StandInSteamInput : public ISteamInput {
 public:
  bool Init() override {
    log_call("input init");
    return true;
  }
  bool Shutdown() override {
    log_call("input shutdown");
    return true;
  }
};
StandInSteamInput stand_in_input;

}  // namespace

bool SteamAPI_Init() {
  // There is no Steam client to connect to on this platform.
  api_up = client_simulated;
  return api_up;
}

void SteamAPI_Shutdown() {
  log_call("shutdown");
  api_up = false;
  registered.clear();
  posted.clear();
}

void SteamAPI_RunCallbacks() {
  // Without a client no callback data ever arrives.
  std::vector<PostedCallback> batch;
  batch.swap(posted);
  for (PostedCallback& p : batch) {
    // A callback may remove (and delete) itself or others, or register new ones:
    // only those registered before the dispatch and still registered are run.
    std::vector<Registration> targets = registered;
    for (const Registration& r : targets)
      if (still_registered(r) && r.callback->m_iCallback == p.id)
        r.callback->Run(p.data.data());
  }
}

void SteamAPI_RegisterCallback(CCallbackBase* callback, int callback_id) {
  if (!callback)
    return;
  callback->m_iCallback = callback_id;
  if (!(callback->m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered)) {
    callback->m_nCallbackFlags |= CCallbackBase::k_ECallbackFlagsRegistered;
    registered.push_back(Registration{callback, next_registration++});
    log_call("register " + std::to_string(callback_id));
  }
}

void SteamAPI_UnregisterCallback(CCallbackBase* callback) {
  if (!callback || !(callback->m_nCallbackFlags & CCallbackBase::k_ECallbackFlagsRegistered))
    return;
  callback->m_nCallbackFlags &= (uint8_t)~CCallbackBase::k_ECallbackFlagsRegistered;
  registered.erase(std::remove_if(registered.begin(), registered.end(),
                                  [&](const Registration& r) { return r.callback == callback; }),
                   registered.end());
  log_call("unregister " + std::to_string(callback->m_iCallback));
}

HSteamUser SteamAPI_GetHSteamUser() { return api_up ? 1 : 0; }

void* SteamInternal_ContextInit(void* context_init_data) {
  auto* data = (CSteamAPIContextInitData*)context_init_data;
  if (!data)
    return nullptr;
  // The context is filled once per API session (the counter marks it filled).
  uintptr_t session = api_up ? 2 : 1;
  if (data->counter != session) {
    data->counter = session;
    data->ptr = nullptr;
    if (data->pFn)
      data->pFn(&data->ptr);
  }
  return &data->ptr;
}

void* SteamInternal_FindOrCreateUserInterface(HSteamUser user, const char* version) {
  if (!api_up || user == 0 || std::string(version ? version : "") != STEAMINPUT_INTERFACE_VERSION)
    return nullptr;
  return static_cast<ISteamInput*>(&stand_in_input);
}

int steam_layer_registered_count() { return (int)registered.size(); }

void steam_layer_simulate_client(bool on) { client_simulated = on; }

void steam_layer_post_callback(int callback_id, const void* data, int size) {
  const uint8_t* bytes = (const uint8_t*)data;
  posted.push_back(PostedCallback{callback_id, std::vector<uint8_t>(bytes, bytes + std::max(size, 0))});
}

const char* steam_layer_call_log() { return call_log.c_str(); }
void steam_layer_clear_call_log() { call_log.clear(); }
