// Writes the meshes of the game, flat shaded with the light baked into the vertex
// colours (vertices: float x, y, z and a D3DCOLOR, 16 bytes, the layout debug_vis.sh
// draws). Run by hand: meshgen <repo>/data/meshes
//
// boss_core.mesh, the level-10 boss: a robot core with armour plates, a glowing eye and
// a turret whose barrel turns on its own. In world units, x right, y up, the camera at
// -z. What the lists hold:
//   label0, label1   the mesh's name and what it is;
//   labels           the part names: core, plates, eye, turret, barrel;
//   triples          per part: first triangle, triangle count, index into labels;
//   quads            [0] the barrel's pivot in the core's space, [1] the muzzle in the
//                    barrel's space (the barrel's triangles are around its pivot);
//   bounds           the core's bounding sphere (x, y, z, radius).
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/meshgen/mesh_writer.h"

namespace {

struct Vec3 {
  float x, y, z;
};
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 normalize(Vec3 a) { return a * (1.0f / std::sqrt(dot(a, a))); }

// Colours of the game palette.
constexpr uint32_t STEEL_DARK = 0x3A4466, STEEL = 0x5A6988, STEEL_LIGHT = 0x8B9BB4, RED = 0xE43B44,
                   YELLOW = 0xFEE761, NIGHT = 0x262B44;

const Vec3 light = normalize({-0.45f, 0.6f, -0.66f});  // toward the light: top left, in front

struct Vertex {
  float x, y, z;
  uint32_t color;
};

struct MeshBuilder {
  std::vector<Vertex> vertices;
  std::vector<uint16_t> indices;

  int triangles() const { return int(indices.size() / 3); }

  // A flat convex polygon facing `outward`: a fan whose triangles wind so that
  // (b - a) x (c - a) points outward (clockwise on screen when it faces the camera).
  void face(const std::vector<Vec3>& poly, Vec3 outward, uint32_t rgb) {
    Vec3 n = normalize(outward);
    float lit = 0.45f + 0.55f * std::max(0.0f, dot(n, light));
    auto channel = [&](int shift) { return uint32_t(std::min(255.0f, float((rgb >> shift) & 255) * lit + 0.5f)); };
    uint32_t color = 0xFF000000u | channel(16) << 16 | channel(8) << 8 | channel(0);
    uint16_t base = uint16_t(vertices.size());
    for (Vec3 p : poly)
      vertices.push_back({p.x, p.y, p.z, color});
    bool flip = dot(cross(poly[1] - poly[0], poly[2] - poly[0]), outward) < 0;
    for (size_t i = 1; i + 1 < poly.size(); i++) {
      indices.push_back(base);
      indices.push_back(uint16_t(base + (flip ? i + 1 : i)));
      indices.push_back(uint16_t(base + (flip ? i : i + 1)));
    }
  }

  // A prism of a regular n-gon of radius r around (cx, cy), from z0 (front) to z1.
  void prism(int n, float r, float cx, float cy, float z0, float z1, float turn, uint32_t rgb) {
    std::vector<Vec3> front, back;
    for (int i = 0; i < n; i++) {
      float a = turn + float(i) * 6.2831853f / float(n);
      front.push_back({cx + r * std::cos(a), cy + r * std::sin(a), z0});
      back.push_back({cx + r * std::cos(a), cy + r * std::sin(a), z1});
    }
    face(front, {0, 0, -1}, rgb);
    face(back, {0, 0, 1}, rgb);
    for (int i = 0; i < n; i++) {
      int j = (i + 1) % n;
      Vec3 mid = (front[i] + front[j]) * 0.5f;
      face({front[i], front[j], back[j], back[i]}, {mid.x - cx, mid.y - cy, 0}, rgb);
    }
  }

  void box(Vec3 lo, Vec3 hi, uint32_t rgb) {
    Vec3 c[8];
    for (int i = 0; i < 8; i++)
      c[i] = {i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    face({c[0], c[2], c[3], c[1]}, {0, 0, -1}, rgb);
    face({c[4], c[5], c[7], c[6]}, {0, 0, 1}, rgb);
    face({c[0], c[1], c[5], c[4]}, {0, -1, 0}, rgb);
    face({c[2], c[6], c[7], c[3]}, {0, 1, 0}, rgb);
    face({c[0], c[4], c[6], c[2]}, {-1, 0, 0}, rgb);
    face({c[1], c[3], c[7], c[5]}, {1, 0, 0}, rgb);
  }
};

MeshFileData boss_core() {
  MeshFileData m;
  m.label0 = "boss_core";
  m.label1 = "level 10 boss: robot core with a turret";
  m.labels = {"core", "plates", "eye", "turret", "barrel"};
  MeshBuilder b;
  auto part = [&](int label, auto&& build) {
    int first = b.triangles();
    build();
    m.triples.push_back({uint16_t(first), uint16_t(b.triangles() - first), uint16_t(label)});
  };
  part(0, [&] {
    b.prism(8, 10, 0, 0, -4, 4, 0.3927f, STEEL_DARK);
    b.prism(8, 7, 0, 0, -4.6f, -4, 0.3927f, NIGHT);
  });
  part(1, [&] {
    b.box({-14, -7, -3}, {-10.5f, 7, 5}, STEEL);
    b.box({10.5f, -7, -3}, {14, 7, 5}, STEEL);
    b.box({-6, -12.5f, -3}, {6, -9.5f, 4}, STEEL);
  });
  part(2, [&] {
    b.prism(8, 4, 0, 0, -5.2f, -4.6f, 0.3927f, RED);
    b.prism(6, 1.5f, 0, 0, -5.6f, -5.2f, 0, YELLOW);
  });
  part(3, [&] { b.prism(6, 4, 0, 11, -3, 3, 0, STEEL_LIGHT); });
  part(4, [&] {
    b.box({0, -1.6f, -2}, {16, 1.6f, 2}, STEEL);
    b.box({14, -2.2f, -2.5f}, {17, 2.2f, 2.5f}, STEEL_DARK);
  });
  m.quads = {{0, 11, 0, 0}, {17, 0, 0, 0}};
  m.bounds = {0, 0, 0, 16};
  m.stride = sizeof(Vertex);
  const uint8_t* bytes = (const uint8_t*)b.vertices.data();
  m.vertices.assign(bytes, bytes + b.vertices.size() * sizeof(Vertex));
  m.indices = b.indices;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: meshgen <meshes folder>\n");
    return 2;
  }
  std::string path = std::string(argv[1]) + "/boss_core.mesh";
  if (!write_mesh_file(path, boss_core())) {
    fprintf(stderr, "meshgen: cannot write %s\n", path.c_str());
    return 1;
  }
  printf("wrote %s\n", path.c_str());
  return 0;
}
