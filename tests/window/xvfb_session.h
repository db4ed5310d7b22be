#pragma once
// A virtual X display of its own for one test (Xvfb picks a free display number),
// the real game started on it, and keys sent to the game's window through xdotool.
#include <sys/types.h>

#include <string>
#include <vector>

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

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

// The game started on a display, its standard output and error collected in a file.
class GameProcess {
 public:
  GameProcess(const std::string& display, const std::string& data_home, const std::vector<std::string>& args,
              const std::vector<std::string>& extra_env = {});
  ~GameProcess();  // kills a game still running

  // Waits until the output holds `text` (after `from`); its position, or npos on
  // timeout or when the game ended.
  size_t waitForOutput(const std::string& text, int timeout_ms, size_t from = 0);
  // Waits for the exit; the exit code, -signal when killed, or -1000 on timeout.
  int waitForExit(int timeout_ms);
  std::string output() const;

 private:
  pid_t pid_ = -1;
  std::string out_path_;
  int exit_status_ = -1;
  bool exited_ = false;
};
