#pragma once
// Leaves the virtual file system as the next test expects it: nothing mounted and no
// write folder. The file system itself stays initialised.
void unmount_all();
