// Boss2's core drawn as a mesh inside the level pass: the core, its plates' mounts
// and eye stand still, its turret's barrel turns towards the hero.
/*
import bosses
import hero
import sprites
*/
#include "engine/render/d3d_shaders.h"
#include "engine/render/d3d_states.h"
#include "engine/render/d3d_vbuf.h"
#include "engine/render/debug_vis.h"
#include "engine/render/dynVBWriter.h"
#include "engine/render/mesh.h"
#include "gameobj/bosses.h"
#include "gameobj/hero.h"
#include "gameobj/sprites.h"

namespace {

constexpr const char* CORE_MESH = "meshes/boss_core.mesh";
constexpr int TRIANGLE_LIST = 4;
constexpr int BARREL_PART = 4;  // the part of the mesh that turns
// The core's centre stands this high over the boss's feet, a little in front of the level.
constexpr float CORE_HEIGHT = 13, CORE_Z = -6;

Mesh* core_mesh = nullptr;
bool core_mesh_looked_up = false;

Mesh* boss_core_mesh() {
  if (!core_mesh_looked_up) {
    core_mesh_looked_up = true;
    core_mesh = get_mesh(CORE_MESH, false);
  }
  return core_mesh && core_mesh->vb && core_mesh->ib ? core_mesh : nullptr;
}

Boss2* live_boss2() {
  for (int i = 0; i < Boss2_list.size(); i++)
    if (Boss2_list[i]->alive())
      return Boss2_list[i];
  return nullptr;
}

Matrix44 rotation_z(float a) {
  Matrix44 m = matrix_identity();
  float c = std::cos(a), s = std::sin(a);
  m.m[0][0] = c, m.m[0][1] = s;
  m.m[1][0] = -s, m.m[1][1] = c;
  return m;
}

void set_world(const Matrix44& model, const Matrix44& glob) {
  Matrix44 m = matrix_mul(model, glob);
  set_vs_consts(0, &m.m[0][0], 4);
}

}  // namespace

void Boss2::render(float t) {
  if (boss_core_mesh())
    return;  // drawn in the level pass
  uint32_t glow = dyingTime >= 0 && int(dyingTime * 10) % 2 ? 0x80F77622 : hit_flash(flash);
  draw_sprite(sprite_named("boss2/core"), drawX(t), drawY(t), -1.5f, false, SPRITE_PLAIN, glow);
}

void Boss2::renderMesh(float t) {
  Mesh* mesh = boss_core_mesh();
  if (!mesh || !debug_vis_shader || !debug_vis_vdecl)
    return;
  // The level's quads so far go out with the level's shader first; nothing of the
  // level pass is drawn after the boss.
  common_vb_writer.flush(false);
  Matrix44 glob;
  get_glob_tm(glob);
  set_vdecl(debug_vis_vdecl);
  set_shader(debug_vis_shader);
  float x = drawX(t), y = drawY(t) + CORE_HEIGHT;
  // Shaking while it blows apart.
  if (dyingTime >= 0)
    x += std::sin(dyingTime * 60) * 0.8f;
  Matrix44 place = matrix_translation(x, y, CORE_Z);
  float aim = 0;
  if (Hero* hero = the_hero())
    aim = std::atan2(hero->centreY() - (y + 11), hero->x - x);
  const MeshQuad* pivot = mesh->quads.size() > 0 ? &mesh->quads[0] : nullptr;
  Matrix44 barrel = pivot ? matrix_mul(matrix_mul(rotation_z(aim), matrix_translation(pivot->v[0], pivot->v[1], 0)),
                                       place)
                          : place;
  set_vb_stream(0, mesh->vb, 0, mesh->stride);
  set_ib(mesh->ib);
  for (int i = 0; i < mesh->triples.size(); i++) {
    const MeshTriple& part = mesh->triples[i];
    set_world(part.v[2] == BARREL_PART ? barrel : place, glob);
    draw_indexed(TRIANGLE_LIST, 0, 0, mesh->numVerts, part.v[0] * 3, part.v[1]);
  }
  set_vs_consts(0, &glob.m[0][0], 4);
}

void render_boss_mesh(float t) {
  if (Boss2* boss = live_boss2())
    boss->renderMesh(t);
}

void forget_boss_mesh() {
  if (core_mesh)
    free_mesh(core_mesh);
  core_mesh = nullptr;
  core_mesh_looked_up = false;
}
