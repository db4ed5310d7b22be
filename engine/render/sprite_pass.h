#pragma once
// What the sprite pass needs of the sprite files beyond the exported interface.
class RenderBatch;
struct Shader;

// Reorders the sprite quads of each group of `batch` drawn with sprite_state nearest
// first, so that the depth test drops what nearer sprites hide before it is shaded. Only
// when the picture stays the same: the depth test "less" or "less or equal" with depth
// writes, no blending, no stencil, a transform whose depth depends on z alone, and no
// two sprites of different z that the depth buffer cannot tell apart.
void order_sprites_nearest_first(RenderBatch& batch);

// The sprite shader, or with plain_colors its build for quads whose colour 0 is white
// and colour 1 transparent, which leaves out the colour steps (they change nothing then);
// with tile_shades its build that reads the tile's shades from the pixel constants.
Shader* sprite_pass_shader(bool plain_colors, bool tile_shades);
