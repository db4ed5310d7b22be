#pragma once
// SqReloadableVM: one script VM with the list of every script file run in it, so
// that the files can be run again in the same VM when one of them changes on disk.
// Every such VM gets the natives "include", "debug", "debug_tp", "enumerate_files"
// and "is_directory" and the math and string libraries, and logs compile errors
// as "%s(%d,%d): error: %s" and run-time errors with the call stack and locals.
#include <cstdint>

#include "engine/core/dynarray.h"
#include "engine/core/strings.h"
#include "engine/script/sqbind.h"

class SqReloadableVM {
 public:
  struct LoadedFile {
    String name;      // the virtual path exactly as included
    String realPath;  // empty when the file was not found
    int64_t modTime;  // virtual-file-system modification time when last run
  };

  HSQUIRRELVM vm;
  DynArray<LoadedFile> files;

  explicit SqReloadableVM(HSQUIRRELVM initial = nullptr) : vm(initial) {}
  virtual ~SqReloadableVM() { SqReloadableVM::close(); }
  SqReloadableVM(const SqReloadableVM&) = delete;
  SqReloadableVM& operator=(const SqReloadableVM&) = delete;

  // Closes what is open and opens a fresh VM with the natives; false when the VM
  // cannot be opened.
  virtual bool init(int stack_size);
  virtual void close();
  // Runs a file once per VM (names compare without regard to case); true when it
  // was already included or ran without error.
  virtual bool include(const char* name);
  // True when a recorded file was reported changed and its time differs.
  virtual bool filesChanged();
  virtual bool reload(bool force) { return rerunFiles(force); }
  virtual bool registerNatives();
  // Re-runs the recorded files in list order (all of them when forced, else the
  // ones whose time changed); stops at the first failure.
  virtual bool rerunFiles(bool force);

  HSQUIRRELVM getVM() const { return vm; }
};

extern SqReloadableVM game_script_vm;
