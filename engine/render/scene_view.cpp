#include "engine/render/scene_view.h"

Texture* scene_image = nullptr;
int voxel_scale = 1;
