// The real executable, headless: it starts in order, runs its loop (seen through the
// profiler dump), quits on SIGTERM or SIGINT as if the window were closed, shuts down
// in order and exits with code 0.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "libs/profiler/prof_format.h"
#include "tests/support/game_process.h"
#include "tests/support/test_env.h"

namespace {

struct GameRun {
  std::string output;
  int exit_code = -1;
  bool exited = false;
};

// Starts the game with its own per-user folder; once `marker` was printed (or the
// game ended, or a minute passed) runs `while_running`, lets the game run on until
// `run_ms_after_marker` passed since the marker, sends the signal and collects the rest.
GameRun run_game(const std::vector<std::string>& args, const std::string& data_home, const char* marker, int sig,
                 int run_ms_after_marker, const char* display = nullptr, int signal_count = 1,
                 const std::function<void()>& while_running = nullptr, const std::string& game_dir = "") {
  GameRun run;
  // Games started with -profile all listen on the one profiler port: such runs take
  // turns, so a client always talks to the game of its own test.
  std::optional<test_env::ProfilerPortLock> port_lock;
  if (std::find(args.begin(), args.end(), "-profile") != args.end())
    port_lock.emplace();
  GameProcess game({args, data_home, game_dir, display ? display : "", {}});
  if (game.waitForOutput(marker, 60000) != std::string::npos) {
    auto marker_seen = std::chrono::steady_clock::now();
    if (while_running)
      while_running();
    std::this_thread::sleep_until(marker_seen + std::chrono::milliseconds(run_ms_after_marker));
  }
  for (int i = 0; i < signal_count; i++)
    game.signal(sig);
  int code = game.waitForExit(60000);
  if (code == -1000) {
    game.signal(SIGKILL);
    code = game.waitForExit(10000);
  }
  run.output = game.output();
  run.exited = code >= 0;
  run.exit_code = code;
  return run;
}

// The lines must appear in this order (other lines may come between them).
void expect_in_order(const std::string& text, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& line : lines) {
    size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: \"" << line << "\"\n" << text;
    at = found + line.size();
  }
}

std::string fresh_home(const char* name) {
  std::string dir = test_env::data_home() + "/" + name;
  std::string cmd = "rm -rf '" + dir + "'";
  EXPECT_EQ(system(cmd.c_str()), 0);
  mkdir(dir.c_str(), 0755);
  return dir;
}

std::string read_file(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
    text.append(buf, n);
  fclose(f);
  return text;
}

const std::vector<std::string> start_up_lines = {
    "Log started ", " in v0.20", "physfs base dir: ", "physfs write dir: ", "app path: '",
    "Error initializing Steam API", "total start-up time: ", "free video memory: "};

TEST(Executable, RunsHeadlessAndShutsDownInOrderOnSigterm) {
  std::string home = fresh_home("sigterm");
  // Long enough for the first frames, whose shaders the driver builds as they are first
  // drawn, and a few seconds of play on a busy machine.
  GameRun run = run_game({"-profile"}, home, "free video memory:", SIGTERM, 4000);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exit_code, 0) << run.output;
  expect_in_order(run.output, start_up_lines);
  // The scene started the audio, the module, the tiles and the first level; it closes
  // them again before the profiler dump.
  expect_in_order(run.output, {"Initializing SoLoud...", "SoLoud: null driver", "3d pixel scale: ",
                               "gameobj.so> base=", "loaded ", " tiles", "total start-up time: "});
  expect_in_order(run.output, {"free video memory: ", "closing...", "gameobj.so> base=", "closing SoLoud",
                               "dumping profiler data...", "dumped ", "closed scene", "closed Steam API",
                               "closed misc stuff", "freed all meshes", "freed all textures", "closed d3d",
                               "closed all systems"});
  EXPECT_EQ(run.output.find("FATAL"), std::string::npos) << run.output;

  // Start-up made the per-user folder and wrote to it: the log and the dump.
  std::string user_dir = home + "/TORVANE/";
  expect_in_order(run.output, {"physfs write dir: " + user_dir});
  std::string log = read_file(user_dir + "log.txt");
  expect_in_order(log, {"Log started ", "total start-up time: ", "closing...", "closed all systems"});

  // The dump shows the loop at work: update passes, render-loop passes and frames.
  std::string cmd = test_env::bin_dir() + "/prof_reader " + user_dir + "game.prof";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_TRUE(p);
  std::string table;
  char buf[512];
  while (fgets(buf, sizeof(buf), p))
    table += buf;
  EXPECT_EQ(pclose(p), 0) << table;
  auto count_of = [&](const char* name) -> long {
    size_t at = table.find(std::string(name) + " ");
    if (at == std::string::npos)
      return 0;
    char kind[16];
    long count = 0;
    sscanf(table.c_str() + at + strlen(name), " %15s %ld", kind, &count);
    return count;
  };
  EXPECT_GE(count_of("main loop"), 10) << "about 20 update passes a second\n" << table;
  EXPECT_GE(count_of("render loop"), count_of("main loop")) << table;
  EXPECT_GE(count_of("FRAME"), 5) << "frames were presented\n" << table;
  EXPECT_GE(count_of("processInput"), count_of("render loop")) << table;
  // The scene ran: started once, then a step per update and a frame per render.
  EXPECT_EQ(count_of("init_scene"), 1) << table;
  EXPECT_GE(count_of("start_scene_update"), count_of("main loop") - 1) << table;
  EXPECT_GE(count_of("render_scene"), count_of("FRAME")) << table;
}

TEST(Executable, SigintQuitsLikeClosingTheWindow) {
  std::string home = fresh_home("sigint");
  GameRun run = run_game({"-win", "-360"}, home, "free video memory:", SIGINT, 300);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exit_code, 0) << run.output;
  expect_in_order(run.output, {"total start-up time: ", "closing...", "closed scene", "closed d3d", "closed all systems"});
  EXPECT_EQ(run.output.find("dumping profiler data"), std::string::npos) << "no profiling without -profile";
}

// An X display number that no server has: neither its socket nor its lock file exists.
std::string display_without_server() {
  struct stat st;
  for (int n = 97;; n++) {
    std::string number = std::to_string(n);
    if (stat(("/tmp/.X11-unix/X" + number).c_str(), &st) != 0 && stat(("/tmp/.X" + number + "-lock").c_str(), &st) != 0)
      return ":" + number;
  }
}

// A display is named but can't be opened: start-up stops with a fatal error naming it
// and SDL's reason, whether SDL chooses its video driver (it would fall back to one that
// shows nothing and the game would run on unseen) or is told to use the display's own.
// The orderly shut-down still runs, against whatever was started.
TEST(Executable, UnreachableDisplayIsFatalWithExitCode100) {
  std::string x_display = display_without_server();
  std::string x_error = "can't open the display '" + x_display + "' (x11 not available)";
  struct Case {
    const char* name;
    std::string display;  // an X display; empty: none
    std::vector<std::string> env;
    std::string error;
  } cases[] = {
      {"X, SDL's choice of driver", x_display, {"SDL_VIDEODRIVER="}, x_error},
      {"X, its own driver", x_display, {"SDL_VIDEODRIVER=x11"}, x_error},
      // What SDL's Wayland client keeps is no engine leak.
      {"Wayland",
       "",
       {"TORVANE_HEADLESS=", "WAYLAND_DISPLAY=torvane-no-compositor", "SDL_VIDEODRIVER=",
        "ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1"},
       "can't open the display 'torvane-no-compositor' (wayland not available)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string home = fresh_home("nodisplay");
    GameProcess game({{"-win"}, home, "", c.display, c.env});
    int code = game.waitForExit(60000);
    std::string output = game.output();
    EXPECT_EQ(code, 100) << output;
    EXPECT_NE(output.find("| ERROR: " + c.error + "\n"), std::string::npos) << output;
    EXPECT_NE(output.find("TORVANE! 0.20 - FATAL ERROR: " + c.error + "\n"), std::string::npos) << output;
    expect_in_order(output, {c.error, "closing...", "closed scene", "closed Steam API", "closed d3d", "closed all systems"});
  }
}

TEST(Executable, QuickQuitStillWritesTheSettings) {
  // Quitting before the first once-a-second flush: the shut-down writes the
  // settings file.
  std::string home = fresh_home("quickquit");
  GameRun run = run_game({"-win", "-360"}, home, "free video memory:", SIGTERM, 0);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_FALSE(read_file(home + "/TORVANE/settings.cfg").empty()) << run.output;
}

TEST(Executable, RepeatedSignalIsOneOrderlyQuit) {
  // A signal sent to the process and to its group arrives twice at once.
  std::string home = fresh_home("twice");
  GameRun run = run_game({"-win", "-360"}, home, "free video memory:", SIGTERM, 200, nullptr, 2);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exit_code, 0) << run.output;
  expect_in_order(run.output, {"closing...", "closed all systems"});
}

TEST(Executable, ProfilerClientReceivesTheLoopLive) {
  std::string home = fresh_home("live");
  profiler::ProfileData data;
  std::string error;
  auto client = [&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(28077);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, (sockaddr*)&addr, sizeof(addr)) != 0) {
      error = "can't connect";
      close(fd);
      return;
    }
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    profiler::RecordReader reader(data);
    uint8_t buf[65536];
    while (data.frames < 50) {
      ssize_t n = recv(fd, buf, sizeof(buf), 0);
      if (n <= 0 || !reader.feed(buf, (size_t)n)) {
        error = "stream ended: " + reader.error();
        break;
      }
    }
    close(fd);
  };
  GameRun run = run_game({"-win", "-360", "-profile"}, home, "free video memory:", SIGTERM, 0, nullptr, 1, client);
  EXPECT_EQ(run.exit_code, 0) << run.output;
  ASSERT_EQ(error, "") << run.output;
  EXPECT_TRUE(data.snapshot_done);
  EXPECT_GE(data.frames, 50u);
  int frames = 0, render_loops = 0;
  for (const auto& b : data.blocks) {
    const std::string& name = data.descriptors.at(b.descriptor).name;
    frames += name == "FRAME";
    render_loops += name == "render loop";
  }
  EXPECT_GE(frames, 50);
  EXPECT_GE(render_loops, frames);
  ASSERT_FALSE(data.threads.empty());
  EXPECT_EQ(data.threads.begin()->second.name, "Main");
}

// A game folder of its own: the executable and the module copied, every entry of data/
// linked except `copied`, which are copied so that the test may edit them.
std::string make_game_folder(const std::string& dir, const std::vector<std::string>& copied) {
  std::string cmd = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && cp '" + test_env::bin_dir() + "/torvane' '" +
                    test_env::bin_dir() + "/gameobj.so' '" + dir + "/'";
  EXPECT_EQ(system(cmd.c_str()), 0) << cmd;
  std::string data = test_env::from_env_or("TORVANE_SOURCE_DIR", test_env::build_dir() + "/../..") + "/data";
  DIR* d = opendir(data.c_str());
  EXPECT_TRUE(d) << data;
  while (dirent* e = d ? readdir(d) : nullptr) {
    std::string name = e->d_name;
    if (name == "." || name == "..")
      continue;
    bool copy = std::find(copied.begin(), copied.end(), name) != copied.end();
    std::string link = copy ? "cp -r '" + data + "/" + name + "' '" + dir + "/'"
                            : "ln -s '" + data + "/" + name + "' '" + dir + "/" + name + "'";
    EXPECT_EQ(system(link.c_str()), 0) << link;
  }
  if (d)
    closedir(d);
  return dir;
}

void append_line(const std::string& path, const std::string& line) {
  FILE* f = fopen(path.c_str(), "ab");
  ASSERT_TRUE(f) << path;
  fputs(line.c_str(), f);
  fclose(f);
}

TEST(Executable, ReloadsAChangedScriptAndShaderWhileRunning) {
  std::string home = fresh_home("reload");
  mkdir((home + "/TORVANE").c_str(), 0755);
  FILE* settings = fopen((home + "/TORVANE/settings.cfg").c_str(), "wb");
  ASSERT_TRUE(settings);
  fputs("// Game settings\n_CONFIG_VERSION_=1\n\ndevkeys=1\n", settings);
  fclose(settings);
  std::string game = make_game_folder(home + "/game", {"script", "sprite.sh"});

  GameRun run = run_game({"-win", "-360"}, home, "free video memory:", SIGTERM, 4000, nullptr, 1,
                         [&] {
                           // File times count in seconds: an edit in the second the files
                           // were loaded in would look like no change.
                           std::this_thread::sleep_for(std::chrono::milliseconds(1100));
                           append_line(game + "/script/main.nut", "\n// edited while the game runs\n");
                           append_line(game + "/sprite.sh", "\n// edited while the game runs\n");
                         },
                         game);
  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exit_code, 0) << run.output;
  size_t started = run.output.find("free video memory:");
  ASSERT_NE(started, std::string::npos);
  std::string after = run.output.substr(started);
  EXPECT_NE(after.find("--- reloading game script ---"), std::string::npos) << after;
  EXPECT_NE(after.find("reloaded shader 'sprite.sh'"), std::string::npos) << after;
  EXPECT_EQ(after.find("Error in game script"), std::string::npos) << after;
  EXPECT_EQ(after.find("FAILED"), std::string::npos) << after;
  std::string cmd = "rm -rf '" + game + "'";
  EXPECT_EQ(system(cmd.c_str()), 0);
}

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    n++;
  return n;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

TEST(Executable, UnwritableUserFolderMovesToAnnouncedStandIn) {
  // The per-user folder can't be made: its parent is a file, which stops root too.
  // The log, settings and shader cache go to a stand-in in the temporary folder,
  // announced once on standard error and once in the log; nothing is written
  // beside the executable.
  std::string home = fresh_home("unwritable");
  std::string blocker = home + "/file";
  FILE* f = fopen(blocker.c_str(), "wb");
  ASSERT_TRUE(f);
  fclose(f);
  std::string game = make_game_folder(home + "/game", {});
  struct Case {
    const char* name;
    std::vector<std::string> env;
    std::string folder;  // the per-user folder that can't be written
  } cases[] = {
      {"xdg", {}, blocker + "/data/TORVANE/"},
      {"home", {"XDG_DATA_HOME=", "HOME=" + blocker + "/home"}, blocker + "/home/.local/share/TORVANE/"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string tmp = home + "/tmp-" + c.name;
    mkdir(tmp.c_str(), 0755);
    std::string stand_in = tmp + "/TORVANE-" + std::to_string(geteuid()) + "/";
    std::string error_path = home + "/stderr-" + c.name;
    c.env.push_back("TMPDIR=" + tmp);
    GameProcess run({{"-win", "-360"}, blocker + "/data", game, "", c.env, error_path});
    ASSERT_NE(run.waitForOutput("free video memory:", 60000), std::string::npos) << run.output();
    run.signal(SIGTERM);
    ASSERT_EQ(run.waitForExit(60000), 0) << run.output();

    std::string note = "The per-user folder '" + c.folder +
                       "' can't be written (Not a directory): the log, settings and cache are kept in '" + stand_in +
                       "'";
    std::string output = run.output(), errors = read_file(error_path), log = read_file(stand_in + "log.txt");
    EXPECT_EQ(count_of(errors, note), 1u) << errors;
    EXPECT_EQ(count_of(output, note), 0u) << output;
    EXPECT_EQ(count_of(log, note), 1u) << log;
    EXPECT_NE(log.find("Log file path: " + stand_in + "log.txt"), std::string::npos) << log;
    EXPECT_NE(output.find("physfs write dir: " + stand_in), std::string::npos) << output;
    EXPECT_FALSE(read_file(stand_in + "settings.cfg").empty());
    EXPECT_TRUE(exists(stand_in + "cache"));
    for (const char* name : {"cache", "settings.cfg", "log.txt", "shots"})
      EXPECT_FALSE(exists(game + "/" + name)) << name << " beside the executable";
  }
  std::string cmd = "rm -rf '" + home + "'";
  EXPECT_EQ(system(cmd.c_str()), 0);
}

}  // namespace
