// Interface drawing: boxes, lines and interface sprites into the GUI batch, text and
// icons of the distance-field fonts into a batch of their own, drawn in that order
// (text over boxes) by ui_end.
/*
import ui_draw
import sprites
*/
#include "gameobj/ui_draw.h"

#include <cstring>

#include "engine/core/error_message.h"
#include "engine/core/log.h"
#include "engine/core/stream.h"
#include "engine/core/vfs.h"
#include "engine/gui/dist_font.h"
#include "engine/gui/ui_draw.h"
#include "engine/render/d3d_states.h"
#include "engine/render/sprite.h"
#include "gameobj/sprites.h"

namespace {

// The interface fonts' part of the on-screen errors.
const char* const FONT_ERRORS = "fonts";

// The fonts and icons belong to this image of the module: made on first use, or as a
// reloaded module links, and freed when the module is unloaded.
struct UiFonts {
  DistFont* font[2] = {nullptr, nullptr};
  DistIcons* icons = nullptr;
  bool tried = false;

  ~UiFonts() {
    delete font[0];
    delete font[1];
    delete icons;
  }
  void load() {
    if (tried)
      return;
    tried = true;
    // This image's fonts report afresh what stands against them.
    set_source_error(FONT_ERRORS, nullptr);
    const char* files[2] = {"fonts/regular.fnt", "fonts/bold.fnt"};
    for (int i = 0; i < 2; i++) {
      font[i] = new DistFont();
      if (!font[i]->load(files[i])) {
        report_failure("font", files[i], font[i]->pageError, "not a font description");
        delete font[i];
        font[i] = nullptr;
      } else if (!font[i]->batchState) {
        delete font[i];  // loaded before the interface's shaders: drawn by nothing
        font[i] = nullptr;
      }
    }
    icons = new DistIcons();
    if (!icons->load("fonts/icons.txt")) {
      report_failure("icons", "fonts/icons.txt", icons->pageError, "not an icon description");
      delete icons;
      icons = nullptr;
    } else if (!icons->batchState) {
      delete icons;
      icons = nullptr;
    }
  }

  // The file and why it did not load, in the log and on the screen: the page's own
  // message when its page failed, else what the file system says of the file, else
  // `otherwise` (the file's contents are at fault).
  static void report_failure(const char* what, const char* path, const char* pageError, const char* otherwise) {
    const char* why = otherwise;
    PhysFSFileInputStream in;
    if (pageError[0]) {
      why = pageError;
    } else if (vfs_is_directory(path)) {
      why = "a folder stands in its place";
    } else if (!in.open(path)) {
      const char* error = vfs_last_error();
      why = error ? error : "it cannot be opened";
    } else if (file_is_empty(in)) {
      why = "the file is empty";
    }
    debug("Error loading %s %s: %s", what, path, why);
    // Two lines on the screen: a long reason fits the width of a small window.
    TempString<512> text;
    text.format("Error loading %s %s\n%s", what, path, why);
    append_source_error(FONT_ERRORS, text.c_str(), -1);
  }

  static bool file_is_empty(PhysFSFileInputStream& in) {
    try {
      return in.fileLength() == 0;
    } catch (...) {
      return false;  // a length the stream cannot give is no empty file
    }
  }
};
UiFonts fonts;
RenderBatch text_batch;

DistFont* font_of(int which) {
  DistFont* f = fonts.font[which == UI_BOLD ? 1 : 0];
  return f ? f : fonts.font[0];
}

constexpr uint32_t TEXT_SHADOW = 0xC0000000;

}  // namespace

void ui_load_fonts() {
  if (dist_font_shader)
    fonts.load();
}

void ui_begin() {
  fonts.load();
  gui_batch.clear();
  text_batch.clear();
}

void ui_end() {
  start_gui_render();
  set_blend_prealpha();
  gui_batch.render();
  end_gui_render();
  start_dist_font_render();
  text_batch.render();
  end_dist_font_render();
  gui_batch.clear();
  text_batch.clear();
}

void ui_fill(__m128 rect, uint32_t color) {
  render_rounded_box(gui_batch, rect, _mm_setzero_ps(), color, 1.0f, 0, 0, 0, 0, -1);
}

void ui_box(__m128 rect, uint32_t fill, uint32_t outline, float radius) {
  __m128 corners = _mm_set1_ps(radius);
  // The outline is the box itself; the fill lies one pixel inside it, with a soft
  // shadow under the whole box.
  render_rounded_box(gui_batch, rect, corners, outline, 1.0f, 0, 2, 4, 0x60000000, 0);
  __m128 inside = v_add(rect, _mm_setr_ps(1.5f, 1.5f, -1.5f, -1.5f));
  render_rounded_box(gui_batch, inside, _mm_set1_ps(radius > 1.5f ? radius - 1.5f : 0), fill, 1.0f, 0, 0, 0, 0, -1);
}

void ui_text(const char* text, float x, float y, float size, uint32_t color, int align, int font) {
  DistFont* f = font_of(font);
  if (!f || !text || !*text)
    return;
  constexpr float WIDE = 4000;
  __m128 rect;
  int flags = TEXT_TOP;
  if (align == UI_LEFT) {
    rect = _mm_setr_ps(x, y, x + WIDE, y + size);
    flags |= TEXT_LEFT;
  } else if (align == UI_RIGHT) {
    rect = _mm_setr_ps(x - WIDE, y, x, y + size);
    flags |= TEXT_RIGHT;
  } else {
    rect = _mm_setr_ps(x - WIDE, y, x + WIDE, y + size);
  }
  f->renderText(text_batch, rect, flags, color, size, text, -1, 0, 0.18f, 0.18f, 0, TEXT_SHADOW, nullptr);
}

float ui_text_width(const char* text, float size, int font) {
  DistFont* f = font_of(font);
  if (!f || !text || !*text || f->size <= 0)
    return text ? float(strlen(text)) * size * 0.5f : 0;
  __m128 box = f->calcTextBox(text, -1, nullptr);
  return (v_z(box) - v_x(box)) * size / float(f->size);
}

void ui_icon(const char* name, float x, float y, float size, uint32_t color) {
  DistIcons* icons = fonts.icons;
  int id = icons ? icons->getIconId(name) : -1;
  if (id < 0)
    return;
  float w = icons->getOrgW(id), h = icons->getOrgH(id);
  if (w <= 0 || h <= 0)
    return;
  // The icon's origin is its centre.
  float scale = size / (w > h ? w : h);
  __m128 at = _mm_setr_ps(x, y, 1, 0);
  icons->renderIcon(text_batch, at, scale, id, 0, 0.1f, 0.1f, 0, color, 0xFF181425, TEXT_SHADOW, 0xFFFFFFFF,
                    0xFFC0CBDC, nullptr);
}

void ui_sprite(const char* name, __m128 rect, uint32_t color, int scale) {
  if (Sprite* s = sprite_named(name))
    s->drawUI(rect, color, scale, false);
}
