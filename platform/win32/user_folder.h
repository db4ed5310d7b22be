#pragma once
// Where the desktop keeps each user's application data.

// The per-user data root with a trailing '/': $XDG_DATA_HOME when it is an absolute
// path, else ~/.local/share/. Written to `out`, cut to `size`; false when the
// environment names neither.
bool get_user_data_root(char* out, int size);

// The folder for temporary files with a trailing '/': $TMPDIR when it is an absolute
// path, else /tmp/. Written to `out`, cut to `size`.
void get_temp_root(char* out, int size);
