// "text_input": one-line editing of UTF-8 text. The insertion point is a byte
// index that always sits on a character boundary; keys move it and edit the
// text by whole characters.
#include "engine/gui/gui_behaviors.h"
#include "engine/gui/gui_utf8.h"

// Windows virtual-key codes the editor reacts to.
enum : int32_t {
  VK_BACK = 0x08,
  VK_RETURN = 0x0D,
  VK_ESCAPE = 0x1B,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_RIGHT = 0x27,
  VK_DELETE = 0x2E,
};

void TextInputBehavior::updateCaret(GuiElement* element) {
  GuiElement* caret = element->findChildWithFlag(GUI_FLAG_CARET);
  if (!caret) return;
  float scale = (float)(element->scale < 1 ? 1 : element->scale);
  float x0 = v_lane(element->inner, 0), width = v_lane(element->inner, 2) - x0;
  // The module's charPosition indexes the text: never ask it about a point
  // that lies past the end or inside a character (one set from outside).
  String text = element->getText();
  int pos = utf8_floor_boundary(text.c_str(), text.len(), element->getInsertPos());
  float px = v_lane(element->charPosition(pos), 0) - x0;
  __m128 cur = caret->getOffsets(true);
  caret->setOffsets(_mm_setr_ps(px / scale, v_lane(cur, 1), (width - px) / scale - 10, v_lane(cur, 3)));
}

// Replaces the bytes [from, to) of the text with `bytes` and puts the
// insertion point at `pos`.
static void edit_text(GuiElement* element, String& text, int from, int to, const char* bytes, int count, int pos) {
  if (to > from) text.remove(from, to - from);
  if (count > 0) text.insert(from, bytes, count);
  element->setText(text);
  element->setInsertPos(pos);
  element->changeSignal.fire(element);
}

static void handle_key(GuiElement* element, const GuiInput& in) {
  String text = element->getText();
  const char* s = text.c_str();
  int len = text.len();
  // A point set from outside may lie past the end or inside a character.
  int pos = utf8_floor_boundary(s, len, element->getInsertPos());
  switch (in.code) {
    case VK_RETURN:
      element->enterSignal.fire(element);
      return;
    case VK_ESCAPE:
      element->escapeSignal.fire(element);
      return;
    case VK_LEFT:
      element->setInsertPos(utf8_prev_boundary(s, len, pos));
      return;
    case VK_RIGHT:
      element->setInsertPos(utf8_next_boundary(s, len, pos));
      return;
    case VK_HOME:
      element->setInsertPos(0);
      return;
    case VK_END:
      element->setInsertPos(len);
      return;
    case VK_BACK:
      if (pos > 0) {
        int start = utf8_prev_boundary(s, len, pos);
        edit_text(element, text, start, pos, nullptr, 0, start);
      }
      return;
    case VK_DELETE:
      if (pos < len) edit_text(element, text, pos, utf8_next_boundary(s, len, pos), nullptr, 0, pos);
      return;
    default:
      if (in.character) {
        char bytes[4];
        int n = utf8_encode(in.character, bytes);
        edit_text(element, text, pos, pos, bytes, n, pos + n);
      }
      return;
  }
}

int TextInputBehavior::handle(NewGuiEvent& event, GuiElement* element, int) {
  if (event.mask == GUI_EVENT_NOTIFY) {
    if (static_cast<NewGuiNotifyEvent&>(event).code != GUI_NOTIFY_CARET_END) return GUI_UNHANDLED;
    element->setInsertPos(element->textLength());
    updateCaret(element);
    return GUI_HANDLED;
  }
  if (event.mask == GUI_EVENT_RESET) {
    element->setHovered(false);
    updateCaret(element);
    return GUI_UNHANDLED;
  }
  if (!element->isActive()) return GUI_UNHANDLED;

  element->setHovered(gui_pointer_hovers(element, event));
  NewGuiInputEvent& in = static_cast<NewGuiInputEvent&>(event);
  if (event.mask != GUI_EVENT_KEY || in.input.type != GuiInput::KEY_DOWN) return GUI_HANDLED;
  handle_key(element, in.input);
  updateCaret(element);
  return GUI_HANDLED;
}

void TextInputBehavior::attach(GuiElement* element) {
  element->setHovered(false);
  updateCaret(element);
}

void TextInputBehavior::detach(GuiElement* element) { element->setHovered(false); }
