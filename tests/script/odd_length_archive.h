#pragma once
// A PhysicsFS archive whose every file serves a fixed text but reports a length of
// the test's choosing (-1, or more than the text holds), as a broken archive or
// device would. It records the largest read request it saw, so tests can tell
// whether a loader trusted the length.
#include <cstdint>
#include <string>

struct OddLengthArchive {
  std::string text;                 // what every file of the archive contains
  int64_t reportedLength = 0;       // what PHYSFS_fileLength says
  uint64_t largestReadRequest = 0;  // the biggest read asked of any file
};

// Mounts `archive` at `mount_point` (the archive must outlive the mount); true on
// success. Unmount with unmount_odd_length_archive.
bool mount_odd_length_archive(OddLengthArchive& archive, const char* mount_point);
bool unmount_odd_length_archive();
