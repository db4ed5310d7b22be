#pragma once
// Child processes whose output is read as it comes. Each runs in a process group of
// its own, so that it can be ended together with whatever it started.

struct ChildProcess {
  int pid = -1;     // -1 when none runs
  int output = -1;  // the read end of the pipe of its standard output and error; never blocks
};

// Starts `program` with `argv` (argv[0] its name, null-terminated) in a new process
// group, its standard output and error into one pipe. False when it cannot be started;
// `child` then stays as it was.
bool start_child_process(ChildProcess* child, const char* program, const char* const argv[]);
// What the output pipe holds, without waiting: the number of bytes read (at most
// `size`), 0 once the output has ended, -1 when nothing is waiting now.
int read_child_output(ChildProcess* child, char* buffer, int size);
// Without waiting: false while the child runs. Once it has ended, sets *code (its exit
// code, 128 + the signal that ended it, or -1 when it cannot be waited for), closes its
// output and leaves `child` as none.
bool child_process_ended(ChildProcess* child, int* code);
// Ends the child's whole process group now: asked to stop, then after a second at most
// killed, with whatever the child left behind. The child is waited for, so that it
// leaves no zombie and writes nothing afterwards; its output is closed, `child` none.
void kill_child_process(ChildProcess* child);
