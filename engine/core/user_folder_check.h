#pragma once
// Start-up's check of the per-user folder. When <data root>TORVANE/ can't be made or
// written, a stand-in in the temporary folder, TORVANE-<uid>/, takes its place for the
// rest of the run: get_appdata_folder_path answers with it, so the log, the settings
// and the shader cache go there and never beside the executable. The player hears of
// it once, on standard error and at the top of the log.

// Makes the per-user folder when missing and chooses the stand-in when it can't be
// written; false when neither can be written.
bool check_user_folder();
// The stand-in folder in use, with its trailing '/'; null while the per-user folder is.
const char* stand_in_user_folder();
// The announcement of the stand-in (or of no writable folder at all); null when none.
const char* user_folder_note();
