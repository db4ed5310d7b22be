#pragma once
// The game's executable run as a child of a test: a per-user folder of the test's
// choosing, headless or on an X display, its standard output and error collected in
// a file that the test reads while the game runs.
#include <sys/types.h>

#include <string>
#include <vector>

struct GameLaunch {
  std::vector<std::string> args;  // after the program name
  std::string data_home;          // XDG_DATA_HOME of the game
  std::string game_dir;           // the folder of the executable; empty: the build's
  std::string display;            // the X display of the window; empty: headless
  std::vector<std::string> env;   // "NAME=value" settings, applied last
  std::string error_path;         // standard error to this file alone; empty: with the output
};

class GameProcess {
 public:
  explicit GameProcess(const GameLaunch& launch);
  ~GameProcess();  // kills a game still running
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // Waits until the output holds `text` (after `from`); its position, or npos on
  // timeout or when the game ended without it.
  size_t waitForOutput(const std::string& text, int timeout_ms, size_t from = 0);
  // Waits for the exit; the exit code, -signal when killed, or -1000 on timeout.
  int waitForExit(int timeout_ms);
  // Sends a signal to a game still running.
  void signal(int sig);
  std::string output() const;

 private:
  bool reap();  // true once the game has ended

  pid_t pid_ = -1;
  std::string out_path_;
  int exit_status_ = -1;
  bool exited_ = false;
};
