// Building GLSL stages with the driver and telling its messages in the shader's files.
#include "platform/d3d9/d3d9_glsl.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// "//#line N name" at output line out_line: line out_line + 1 is line N of name.
struct LineMark {
  long out_line;
  long line;
  std::string name;
};

std::vector<LineMark> line_marks(const char* code) {
  std::vector<LineMark> marks;
  long out_line = 0;
  for (const char* p = code; p && *p;) {
    const char* eol = std::strchr(p, '\n');
    size_t len = eol ? (size_t)(eol - p) : std::strlen(p);
    out_line++;
    if (len > 8 && std::strncmp(p, "//#line ", 8) == 0) {
      std::string line(p, len);
      long number = 0;
      int name_at = 0;
      if (std::sscanf(line.c_str(), "//#line %ld %n", &number, &name_at) == 1 && name_at > 0)
        marks.push_back({out_line, number, line.substr(name_at)});
    }
    p += len + (eol ? 1 : 0);
  }
  return marks;
}

bool read_number(const char*& p, long* value) {
  if (!std::isdigit((unsigned char)*p)) return false;
  char* end = nullptr;
  *value = std::strtol(p, &end, 10);
  p = end;
  return true;
}

// The place of one message line: "S:L(C): ", "S:L: " or "S(L) : ". On success *text
// is where the message itself starts.
bool message_place(const char* line, long* source, long* line_no, const char** text) {
  const char* p = line;
  long column = 0;
  if (!read_number(p, source)) return false;
  if (*p == ':') {
    p++;
    if (!read_number(p, line_no)) return false;
    if (*p == '(') {
      p++;
      if (!read_number(p, &column) || *p++ != ')') return false;
    }
  } else if (*p == '(') {
    p++;
    if (!read_number(p, line_no) || *p++ != ')') return false;
  } else {
    return false;
  }
  while (*p == ' ') p++;
  if (*p++ != ':') return false;
  while (*p == ' ') p++;
  *text = p;
  return true;
}

}  // namespace

std::string glsl_map_messages(const char* code, const char* log) {
  std::vector<LineMark> marks = line_marks(code);
  std::string first_name = marks.empty() ? "shader" : marks.front().name;
  // "name(line)" of an output line; the first file's name alone before any mark.
  auto place_of = [&](long out_line) {
    const LineMark* mark = nullptr;
    for (const LineMark& m : marks)
      if (m.out_line < out_line) mark = &m;
    if (!mark) return first_name;
    return mark->name + "(" + std::to_string(mark->line + out_line - mark->out_line - 1) + ")";
  };
  std::string out;
  for (const char* p = log ? log : ""; *p;) {
    const char* eol = std::strchr(p, '\n');
    size_t len = eol ? (size_t)(eol - p) : std::strlen(p);
    std::string line(p, len);
    p += len + (eol ? 1 : 0);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    long source = 0, out_line = 0;
    const char* text = nullptr;
    if (message_place(line.c_str(), &source, &out_line, &text))
      out += place_of(out_line) + ": " + text + "\n";
    else
      out += first_name + ": " + line + "\n";
  }
  return out;
}

GLuint glsl_build_program(D3d9Device* dev, GLenum stage, const char* code, std::string* messages) {
  dev->make_current();
  GLuint program = glCreateShaderProgramv(stage, 1, &code);
  if (!program) {
    if (messages) *messages = "the driver made no program\n";
    return 0;
  }
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked) return program;
  GLint size = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &size);
  std::string log(size > 0 ? size : 1, '\0');
  glGetProgramInfoLog(program, (GLsizei)log.size(), nullptr, log.data());
  glDeleteProgram(program);
  if (messages) *messages = glsl_map_messages(code, log.c_str());
  return 0;
}

std::string glsl_alpha_test_variant(const char* code, bool alpha_test) {
  std::string out = code ? code : "";
  const char* define = alpha_test ? "#define D3D9_ALPHA_TEST 1\n" : "#define D3D9_ALPHA_TEST 0\n";
  // After the #version line, which must come first; the line marks that follow keep
  // the driver's messages in the right places.
  size_t at = 0;
  if (out.compare(0, 8, "#version") == 0) {
    if (out.find('\n') == std::string::npos) out += '\n';
    at = out.find('\n') + 1;
  }
  out.insert(at, define);
  return out;
}

bool glsl_build_pixel_programs(D3d9Device* dev, const char* code, GLuint* plain, GLuint* alpha_tested,
                               std::string* messages) {
  *plain = glsl_build_program(dev, GL_FRAGMENT_SHADER, glsl_alpha_test_variant(code, false).c_str(), messages);
  *alpha_tested = *plain ? glsl_build_program(dev, GL_FRAGMENT_SHADER, glsl_alpha_test_variant(code, true).c_str(),
                                              messages)
                         : 0;
  if (*plain && *alpha_tested) return true;
  if (*plain) glDeleteProgram(*plain);
  *plain = 0;
  return false;
}
