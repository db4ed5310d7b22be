#pragma once
// What a draw costs: wall time, the CPU time of the whole process (the rasteriser's
// threads with the main thread) and the main thread's own.
#include <time.h>

#include <chrono>

inline double cpu_seconds(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Spent {
  double wall = 0, cpu = 0;  // seconds; cpu counts every thread of the process
  double main_cpu = 0;       // seconds of the main thread's own work
  // The rasteriser's threads' work, which other programs on the machine disturb less
  // than the wall time.
  double raster() const { return cpu - main_cpu; }
};

// Adds what one draw took to `spent`; returns its wall time.
template <class Draw>
double time_of(Spent& spent, Draw&& draw) {
  double main0 = cpu_seconds(CLOCK_THREAD_CPUTIME_ID);
  double cpu0 = cpu_seconds(CLOCK_PROCESS_CPUTIME_ID);
  auto t0 = std::chrono::steady_clock::now();
  draw();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  spent.wall += wall;
  spent.cpu += cpu_seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  spent.main_cpu += cpu_seconds(CLOCK_THREAD_CPUTIME_ID) - main0;
  return wall;
}
