#pragma once
// The desktop's action for a file.

// "open" (or no operation) hands `file` to the desktop's opener (xdg-open); any other
// operation runs `file` itself with `parameters`. Starts it in `directory` (when given)
// without waiting; false when it cannot be started.
bool shell_execute(const char* operation, const char* file, const char* parameters, const char* directory);
