#pragma once
// How the world is drawn on the screen: the render target the game mode draws the
// world into and the whole screen pixels per world unit. The scene's layout sets both
// (engine/shell); the renderer's world passes read them.
struct Texture;

extern Texture* scene_image;  // null while the scene has no target
extern int voxel_scale;       // screen pixels per world unit, at least 1
