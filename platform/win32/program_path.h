#pragma once
// The running program's file and folder (/proc/self/exe).

// The running program's full file name; false on failure or truncation.
bool get_exe_filename(char* buffer, int size);
// Its folder with the trailing '/'; false on failure or truncation.
bool get_exe_path(char* buffer, int size);
