// The render states that the text and interface passes set and restore.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/gui/dist_font.h"
#include "engine/gui/sys_font.h"
#include "engine/gui/ui_draw.h"
#include "engine/render/d3d_device.h"
#include "engine/render/dynVBWriter.h"
#include "text_fixture.h"

namespace {

using RS = std::pair<D3DRENDERSTATETYPE, DWORD>;
struct SS {
  DWORD sampler;
  D3DSAMPLERSTATETYPE type;
  DWORD value;
};

struct StateCase {
  const char* name;
  std::function<void()> call;
  std::vector<RS> render;
  std::vector<SS> sampler;
};

class TextStatesTest : public TextTest {
protected:
  void TearDown() override {
    close_font();
    TextTest::TearDown();
  }
};

TEST_F(TextStatesTest, EachPassSetsAndRestoresItsStates) {
  startDevice(64, 64);
  init_font();
  const std::vector<RS> text_on = {{D3DRS_CULLMODE, D3DCULL_NONE},   {D3DRS_ZENABLE, 0},
                                   {D3DRS_ZWRITEENABLE, 0},           {D3DRS_ALPHABLENDENABLE, 1},
                                   {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                                   {D3DRS_ALPHATESTENABLE, 1},        {D3DRS_ALPHAREF, 1}};
  const std::vector<RS> pass_off = {{D3DRS_CULLMODE, D3DCULL_CCW},
                                    {D3DRS_ZENABLE, 1},
                                    {D3DRS_ZWRITEENABLE, 1},
                                    {D3DRS_ALPHABLENDENABLE, 0}};
  const StateCase cases[] = {
      {"start_draw_text", start_draw_text, text_on, {{0, D3DSAMP_MAGFILTER, D3DTEXF_POINT}}},
      {"end_draw_text", end_draw_text, {pass_off[0], pass_off[1], pass_off[2], pass_off[3], {D3DRS_ALPHATESTENABLE, 0}},
       {{0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR}}},
      {"font batch state apply", [] { get_font_batch_state()->apply(nullptr); }, text_on,
       {{0, D3DSAMP_MAGFILTER, D3DTEXF_POINT}}},
      {"font batch state finish", [] { get_font_batch_state()->finish(); },
       {pass_off[0], pass_off[1], pass_off[2], pass_off[3], {D3DRS_ALPHATESTENABLE, 0}}, {}},
      {"start_dist_font_render", start_dist_font_render,
       {{D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_ZENABLE, 0},
        {D3DRS_ZWRITEENABLE, 0},
        {D3DRS_ALPHABLENDENABLE, 1},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_ALPHATESTENABLE, 0}},
       {{0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}}},
      {"end_dist_font_render", end_dist_font_render, pass_off, {}},
      {"start_gui_render", start_gui_render,
       {{D3DRS_CULLMODE, D3DCULL_NONE},
        {D3DRS_ZENABLE, 0},
        {D3DRS_ZWRITEENABLE, 0},
        {D3DRS_ALPHABLENDENABLE, 0},
        {D3DRS_ALPHATESTENABLE, 0}},
       {{0, D3DSAMP_MAGFILTER, D3DTEXF_POINT},
        {0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
        {1, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
        {1, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}}},
      {"end_gui_render", end_gui_render, pass_off, {}},
  };
  for (const StateCase& c : cases) {
    c.call();
    for (const RS& r : c.render) {
      DWORD v = 12345;
      d3d->GetRenderState(r.first, &v);
      EXPECT_EQ(v, r.second) << c.name << " render state " << r.first;
    }
    for (const SS& s : c.sampler) {
      DWORD v = 12345;
      d3d->GetSamplerState(s.sampler, s.type, &v);
      EXPECT_EQ(v, s.value) << c.name << " sampler " << s.sampler << " state " << s.type;
    }
  }
}

}  // namespace
