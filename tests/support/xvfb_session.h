#pragma once
// A virtual X display of its own for one test (Xvfb picks a free display number),
// keys sent to the windows on it through xdotool, and its windows listed by xwininfo.
#include <sys/types.h>

#include <string>

class XvfbSession {
 public:
  // Starts Xvfb with one screen of the given size; ok() tells whether it came up,
  // error() why not.
  XvfbSession(int width, int height);
  ~XvfbSession();
  XvfbSession(const XvfbSession&) = delete;
  XvfbSession& operator=(const XvfbSession&) = delete;

  bool ok() const { return !display_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& display() const { return display_; }

  // Runs xdotool with these arguments on this display; its standard output.
  std::string xdotool(const std::string& args, int* status = nullptr) const;
  // The same for xwininfo, which also lists windows that xdotool cannot name.
  std::string xwininfo(const std::string& args, int* status = nullptr) const;

 private:
  std::string run(const std::string& tool, const std::string& args, int* status) const;

  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};
