// Render states and vertex declarations: the device calls each setter makes.
#include "render_fixture.h"

#include "engine/render/d3d_states.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/d3d_vbuf.h"

#include <cmath>

using Lines = std::vector<std::string>;

TEST_F(RenderTest, StateSettersMakeTheirDeviceCalls) {
  startDevice(16, 16);
  const std::string blend_on = "SetRenderState(ALPHABLENDENABLE, 1)", sep_off = "SetRenderState(SEPARATEALPHABLENDENABLE, 0)";
  auto blend = [&](int src, int dst, int op) {
    return Lines{blend_on, sep_off, "SetRenderState(SRCBLEND, " + std::to_string(src) + ")",
                 "SetRenderState(DESTBLEND, " + std::to_string(dst) + ")",
                 "SetRenderState(BLENDOP, " + std::to_string(op) + ")"};
  };
  struct Case {
    const char* name;
    std::function<void()> call;
    Lines want;
  } cases[] = {
      {"none", set_blend_none, {"SetRenderState(ALPHABLENDENABLE, 0)"}},
      {"alpha", set_blend_alpha, blend(5, 6, 1)},
      {"prealpha", set_blend_prealpha, blend(2, 6, 1)},
      {"additive", set_blend_additive, blend(2, 2, 1)},
      {"smooth_add", set_blend_smooth_add, blend(2, 4, 1)},
      {"multiply", set_blend_multiply, blend(9, 1, 1)},
      {"min", set_blend_min, blend(2, 2, 4)},
      {"max", set_blend_max, blend(2, 2, 5)},
      {"oit", set_blend_oit,
       {blend_on, "SetRenderState(SEPARATEALPHABLENDENABLE, 1)", "SetRenderState(SRCBLEND, 2)",
        "SetRenderState(DESTBLEND, 2)", "SetRenderState(BLENDOP, 1)", "SetRenderState(SRCBLENDALPHA, 1)",
        "SetRenderState(DESTBLENDALPHA, 6)"}},
      {"atest 0", [] { set_atest(0); }, {"SetRenderState(ALPHATESTENABLE, 0)"}},
      {"atest 1", [] { set_atest(1); },
       {"SetRenderState(ALPHATESTENABLE, 1)", "SetRenderState(ALPHAFUNC, 7)", "SetRenderState(ALPHAREF, 1)"}},
      {"cull -5", [] { set_cull_mode(-5); }, {"SetRenderState(CULLMODE, 2)"}},
      {"cull 0", [] { set_cull_mode(0); }, {"SetRenderState(CULLMODE, 1)"}},
      {"cull 3", [] { set_cull_mode(3); }, {"SetRenderState(CULLMODE, 3)"}},
      {"mask", [] { set_color_write_mask(5); }, {"SetRenderState(COLORWRITEENABLE, 5)"}},
      {"zenable", [] { set_zenable(true); }, {"SetRenderState(ZENABLE, 1)"}},
      {"zwrite", [] { set_zwrite(false); }, {"SetRenderState(ZWRITEENABLE, 0)"}},
      {"wire", [] { set_wireframe(true); }, {"SetRenderState(FILLMODE, 2)"}},
      {"stencil off", [] { set_stencil_test(0, 3, 4); }, {"SetRenderState(STENCILENABLE, 0)"}},
      {"stencil on", [] { set_stencil_test(0xF0, 3, 4); },
       {"SetRenderState(STENCILENABLE, 1)", "SetRenderState(STENCILMASK, 240)", "SetRenderState(STENCILREF, 3)",
        "SetRenderState(STENCILFUNC, 4)"}},
      {"replace 0", [] { set_stencil_replace_bits(0); },
       {"SetRenderState(STENCILWRITEMASK, 0)", "SetRenderState(STENCILFAIL, 1)", "SetRenderState(STENCILZFAIL, 1)",
        "SetRenderState(STENCILPASS, 1)"}},
      {"replace 2", [] { set_stencil_replace_bits(2); },
       {"SetRenderState(STENCILWRITEMASK, 2)", "SetRenderState(STENCILFAIL, 1)", "SetRenderState(STENCILZFAIL, 1)",
        "SetRenderState(STENCILPASS, 3)"}},
      {"scissor", [] { set_scissor(1, 2, 3, 4); },
       {"SetRenderState(SCISSORTESTENABLE, 1)", "SetScissorRect(1, 2, 3, 4)"}},
      {"scissor off", set_scissor_off, {"SetRenderState(SCISSORTESTENABLE, 0)"}},
      {"address clamp", [] { set_texture_address(3, 1, -1, -1); },
       {"SetSamplerState(3, ADDRESSU, 3)", "SetSamplerState(3, ADDRESSV, 3)", "SetSamplerState(3, ADDRESSW, 3)"}},
      {"address mixed", [] { set_texture_address(0, 0, 2, -1); },
       {"SetSamplerState(0, ADDRESSU, 1)", "SetSamplerState(0, ADDRESSV, 4)", "SetSamplerState(0, ADDRESSW, 4)"}},
      {"filter point", [] { set_texture_filter(1, false); },
       {"SetSamplerState(1, MAGFILTER, 1)", "SetSamplerState(1, MINFILTER, 1)", "SetSamplerState(1, MIPFILTER, 1)"}},
      {"instancing off", [] { set_instancing(0); },
       {"SetStreamSourceFreq(0, 0x1)", "SetStreamSourceFreq(1, 0x1)"}},
      {"instancing 7", [] { set_instancing(7); },
       {"SetStreamSourceFreq(0, 0x40000007)", "SetStreamSourceFreq(1, 0x80000001)"}},
  };
  for (Case& c : cases) {
    record();
    c.call();
    EXPECT_EQ(stopRecording(), c.want) << c.name;
  }
}

TEST_F(RenderTest, ProjectionAndGlobalTransform) {
  startDevice(16, 16);
  Matrix44 p;
  make_proj_tm(p, 1.5f, 2.0f, 1.0f, 101.0f);
  float ys = 1.0f / tanf(0.75f), q = 101.0f / 100.0f;
  EXPECT_FLOAT_EQ(p.m[0][0], ys / 2.0f);
  EXPECT_FLOAT_EQ(p.m[1][1], ys);
  EXPECT_FLOAT_EQ(p.m[2][2], q);
  EXPECT_FLOAT_EQ(p.m[2][3], 1.0f);
  EXPECT_FLOAT_EQ(p.m[3][2], -q);
  EXPECT_FLOAT_EQ(p.m[3][3], 0.0f);
  // view x projection, read back from the device.
  set_view_tm(matrix_translation(1, 2, 3));
  set_proj_tm(1.5f, 2.0f, 1.0f, 101.0f);
  Matrix44 g;
  get_glob_tm(g);
  Matrix44 want = matrix_mul(matrix_translation(1, 2, 3), p);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) EXPECT_FLOAT_EQ(g.m[r][c], want.m[r][c]) << r << "," << c;
}

TEST_F(RenderTest, VertexDeclarationsAreSharedByContent) {
  startDevice(16, 16);
  const VDeclElement a[] = {{0, 0, 2, 0, 0}, {8, 0, 5, 2, 0}, {0, 255, 0, 0, 0}};
  const VDeclElement same[] = {{0, 0, 2, 0, 0}, {8, 0, 5, 2, 0}, {0, 255, 0, 0, 0}};
  const VDeclElement other_index[] = {{0, 0, 2, 0, 0}, {8, 0, 5, 2, 1}, {0, 255, 0, 0, 0}};
  const VDeclElement other_offset[] = {{0, 0, 2, 0, 0}, {12, 0, 5, 2, 0}, {0, 255, 0, 0, 0}};
  const VDeclElement empty[] = {{0, 255, 0, 0, 0}};
  IDirect3DVertexDeclaration9* d = create_vdecl(a);
  EXPECT_EQ(create_vdecl(same), d);
  EXPECT_NE(create_vdecl(other_index), d);
  EXPECT_NE(create_vdecl(other_offset), d);
  EXPECT_NE(create_vdecl(other_offset), create_vdecl(other_index));
  IDirect3DVertexDeclaration9* e = create_vdecl(empty);
  UINT n = 0;
  e->GetDeclaration(nullptr, &n);
  EXPECT_EQ(n, 1u);
  // The codes become Direct3D types and usages; an unknown usage becomes TANGENT.
  const VDeclElement codes[] = {{4, 1, 10, 7, 2}, {0, 255, 0, 0, 0}};
  D3DVERTEXELEMENT9 els[2];
  create_vdecl(codes)->GetDeclaration(els, &n);
  EXPECT_EQ(els[0].Stream, 1);
  EXPECT_EQ(els[0].Offset, 4);
  EXPECT_EQ(els[0].Type, D3DDECLTYPE_FLOAT16_4);
  EXPECT_EQ(els[0].Usage, D3DDECLUSAGE_TANGENT);
  EXPECT_EQ(els[0].UsageIndex, 2);
}

TEST_F(RenderTest, VertexDeclarationLimitsAreFatal) {
  EXPECT_EXIT(
      ([&] {
        startDevice(16, 16);
        for (int i = 0; i <= MAX_VDECLS; i++) {
          VDeclElement list[] = {{(uint16_t)(i * 4), 0, 1, 0, 0}, {0, 255, 0, 0, 0}};
          create_vdecl(list);
        }
      })(),
      ::testing::ExitedWithCode(100), "reached maximum vertex declaration count");
  EXPECT_EXIT(
      ([&] {
        startDevice(16, 16);
        VDeclElement list[40];
        for (int i = 0; i < 40; i++) list[i] = {(uint16_t)(i * 4), 0, 1, 3, (uint8_t)i};
        list[32] = {0, 255, 0, 0, 0};
        create_vdecl(list);
      })(),
      ::testing::ExitedWithCode(100), "failed ASSERT\\(i<MAX_VDECL_LEN\\)");
  // An unknown type code becomes UNUSED, which the device refuses.
  EXPECT_EXIT(
      ([&] {
        startDevice(16, 16);
        const VDeclElement list[] = {{0, 0, 99, 0, 0}, {0, 255, 0, 0, 0}};
        create_vdecl(list);
      })(),
      ::testing::ExitedWithCode(100), "failed to create vertex declaration \\(code 0x8876086C\\)");
}

// The own format codes and the Direct3D numbers they stand for, both ways; anything
// else is 0. Capability queries go through the same codes.
TEST_F(RenderTest, FormatCodesAndCapabilities) {
  const int d3d_numbers[13] = {0, 21, 26, 25, 23, 34, 111, 112, 113, 114, 115, 116, 50};
  for (int code = 1; code <= 12; code++) {
    EXPECT_EQ((int)to_d3d_format(code), d3d_numbers[code]) << code;
    EXPECT_EQ(from_d3d_format((D3DFORMAT)d3d_numbers[code]), code) << code;
  }
  EXPECT_EQ((int)to_d3d_format(0), 0);
  EXPECT_EQ((int)to_d3d_format(13), 0);
  EXPECT_EQ(from_d3d_format(D3DFMT_X8R8G8B8), 0);
  EXPECT_EQ(from_d3d_format(D3DFMT_DXT1), 0);

  startDevice(16, 16);
  EXPECT_TRUE(check_rt_format(1));
  EXPECT_FALSE(check_rt_format(0));
  EXPECT_TRUE(check_vertex_texture_format(9));
  EXPECT_FALSE(check_vertex_texture_format(99));

  // Free texture memory shrinks by what a texture takes; flushing the GPU returns.
  unsigned before = get_free_texmem();
  Texture* t = create_texture(256, 256, 1, 1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(before - get_free_texmem(), 256u * 256 * 4);
  destroy_texture(t);
  EXPECT_EQ(get_free_texmem(), before);
  clear_view_color(0xFF000000);
  flush_gpu();
}
