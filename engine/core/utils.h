#pragma once
// Clocks and paths: the program's folder, the per-user folder, absolute and real
// paths, file times, folder creation, and the high-resolution clock. The platform's
// own parts (the program's file, the per-user data root, libraries, shell execution,
// pipes, the main window, the GPU figure) are in platform/win32/.
#include <cstdint>

#include "engine/core/strings.h"

// The program's folder with its trailing '/', filled at start-up by get_exe_path.
extern char app_path[260];
// The product folder name inside the per-user data folder.
extern const char* const product_name;

// Clock: ticks are nanoseconds of the monotonic clock.
void init_time();
int64_t get_ref_time();
int64_t get_time_since_start();
int64_t time_ticks_per_sec();
float get_time_sec(int64_t ticks);
int get_time_msec(int64_t ticks);
// Microseconds as 64 bits: a 32-bit count would overflow after 35 minutes.
int64_t get_time_usec(int64_t ticks);
int64_t msec_to_ticks(int msec);

// Last-modification time of a real file (seconds since 1970); 0 when unknown.
int64_t get_file_time(const char* path);

// The per-user data root ($XDG_DATA_HOME, else ~/.local/share, else the program's
// folder) with a trailing '/', optionally followed by `sub`.
TempString<260> get_appdata_path();
TempString<260> get_appdata_path(const char* sub);
// The per-user data folder of the game: <data root>TORVANE/<sub>, or the stand-in
// chosen by check_user_folder when that can't be written.
TempString<260> get_appdata_folder_path(const char* sub);
// The real path of a virtual-file-system file; empty when not found or too long.
TempString<260> get_real_path(const char* vfs_path);
// An absolute path: relative paths are joined to app_path; null gives app_path.
TempString<260> make_full_path(const char* path);

// Creates a folder and any missing parents; true when it exists afterwards. On
// failure errno holds the reason of the step that failed (the first mkdir refused,
// or ENOTDIR for a file in the folder's place).
bool create_directories(const char* path);
