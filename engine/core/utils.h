#pragma once
// Platform utilities: the program's path, the per-user folder, absolute paths,
// file times, the high-resolution clock, dynamic libraries, shell execution, the
// pipe peek of the module rebuild, the main window and the GPU-activity figure.
#include <cstdint>
#include <cstdio>

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

// The running program's full file name; false on failure or truncation.
bool get_exe_filename(char* buffer, int size);
// Its folder with the trailing '/'; false on failure or truncation.
bool get_exe_path(char* buffer, int size);
// Last-modification time of a real file (seconds since 1970); 0 when unknown.
int64_t get_file_time(const char* path);

// The per-user data root ($XDG_DATA_HOME, else ~/.local/share) with a trailing
// '/', optionally followed by `sub`.
TempString<260> get_appdata_path();
TempString<260> get_appdata_path(const char* sub);
// The per-user data folder of the game: <data root>TORVANE/<sub>.
TempString<260> get_appdata_folder_path(const char* sub);
// The real path of a virtual-file-system file; empty when not found or too long.
TempString<260> get_real_path(const char* vfs_path);
// An absolute path: relative paths are joined to app_path; null gives app_path.
TempString<260> make_full_path(const char* path);

void* load_library(const char* file_name);
void* get_proc_address(void* library, const char* name);
bool free_library(void* library);

// Starts the desktop's action for `file` ("open": xdg-open) without waiting.
bool shell_execute(const char* operation, const char* file, const char* parameters, const char* directory);
// 0 for null; the bytes waiting in the pipe behind `file`, or 1 when it cannot be peeked.
int peek_pipe(FILE* file);

// The main window handle, set by the window layer.
void* get_main_window();
void set_main_window(void* window);

// GPU activity through the AMD display library (absent here: always unavailable).
bool init_gpu_activity();
bool get_gpu_activity(int* percent);
void close_gpu_activity();

// Creates a folder and any missing parents; true when it exists afterwards.
bool create_directories(const char* path);
