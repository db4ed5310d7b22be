#pragma once
// GPU activity through the AMD display library, which is absent here: the figure is
// always unavailable.

bool init_gpu_activity();
// False while the figure is unavailable.
bool get_gpu_activity(int* percent);
void close_gpu_activity();
