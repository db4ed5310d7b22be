// The AMD display library's figure. Its loader looks for the library under the
// platform's names; where it is absent (here, always) the figure is unavailable.
#include "platform/win32/gpu_activity.h"

#include <cstdlib>

#include "platform/win32/dynamic_library.h"

namespace {

typedef void* (*AdlAllocFunc)(int size);
typedef int (*AdlMainControlCreate)(AdlAllocFunc alloc, int connected_only);
typedef int (*AdlMainControlDestroy)();
typedef int (*AdlNumberOfAdaptersGet)(int* count);
struct AdlActivity {
  int size, engine_clock, memory_clock, vddc, activity_percent, current_performance_level, current_bus_speed,
      current_bus_lanes, maximum_bus_lanes, reserved;
};
typedef int (*AdlCurrentActivityGet)(int adapter, AdlActivity* activity);

void* adl_library = nullptr;
AdlCurrentActivityGet adl_current_activity = nullptr;

// The library's own allocations, which it keeps until the program ends.
void* adl_alloc(int size) {
  return malloc((size_t)size);
}

void unload_adl() {
  if (adl_library)
    free_library(adl_library);
  adl_library = nullptr;
  adl_current_activity = nullptr;
}

}  // namespace

bool init_gpu_activity() {
  if (adl_library)
    return true;
  adl_library = load_library("atiadlxx.so");
  if (!adl_library)
    adl_library = load_library("atiadlxy.so");
  if (!adl_library)
    return false;
  auto create = (AdlMainControlCreate)get_proc_address(adl_library, "ADL_Main_Control_Create");
  auto destroy = get_proc_address(adl_library, "ADL_Main_Control_Destroy");
  auto adapters = get_proc_address(adl_library, "ADL_Adapter_NumberOfAdapters_Get");
  adl_current_activity = (AdlCurrentActivityGet)get_proc_address(adl_library, "ADL_Overdrive5_CurrentActivity_Get");
  if (!create || !destroy || !adapters || !adl_current_activity) {
    unload_adl();
    return false;
  }
  if (create(adl_alloc, 1) == 0)
    return true;
  unload_adl();
  return false;
}

bool get_gpu_activity(int* percent) {
  if (!adl_library || !adl_current_activity)
    return false;
  AdlActivity activity = {};
  activity.size = (int)sizeof(activity);
  if (adl_current_activity(0, &activity) != 0)
    return false;
  if (percent)
    *percent = activity.activity_percent;
  return true;
}

void close_gpu_activity() {
  if (!adl_library)
    return;
  auto destroy = (AdlMainControlDestroy)get_proc_address(adl_library, "ADL_Main_Control_Destroy");
  if (destroy)
    destroy();
  unload_adl();
}
