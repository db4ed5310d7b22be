#include "engine/audio/sound_script_sq.h"

#include <cstdarg>
#include <cstdio>

#include "engine/audio/sound_natives.h"
#include "engine/core/log.h"
#include "engine/core/vfs.h"

SquirrelSoundVM squirrel_sound_vm;
// The game runs the sound script in Squirrel; tests may put a stand-in here.
SoundScriptVM* sound_script_vm = &squirrel_sound_vm;

static const char* TYPE_ERROR = "sq_get*() failed (type error)";

// --- natives -------------------------------------------------------------------

static bool get_number(HSQUIRRELVM v, SQInteger idx, float* out) {
  SQObjectType type = sq_gettype(v, idx);
  if (type == OT_FLOAT) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    *out = f;
    return true;
  }
  if (type == OT_INTEGER) {
    SQInteger i = 0;
    sq_getinteger(v, idx, &i);
    *out = (float)i;
    return true;
  }
  return false;
}

static bool get_integer(HSQUIRRELVM v, SQInteger idx, SQInteger* out) {
  return sq_gettype(v, idx) == OT_INTEGER && SQ_SUCCEEDED(sq_getinteger(v, idx, out));
}

// A sound argument: null is no sound, an integer is an id (checked by the player).
static bool get_sound(HSQUIRRELVM v, SQInteger idx, SoundId* out) {
  if (sq_gettype(v, idx) == OT_NULL) {
    *out = 0;
    return true;
  }
  SQInteger i = 0;
  if (!get_integer(v, idx, &i))
    return false;
  *out = (i < INT32_MIN || i > INT32_MAX) ? -1 : (SoundId)i;
  return true;
}

static void push_sound(HSQUIRRELVM v, SoundId id) {
  if (id)
    sq_pushinteger(v, id);
  else
    sq_pushnull(v);
}

static SQInteger native_load_sample(HSQUIRRELVM v) {
  const SQChar* path = nullptr;
  float volume = 0;
  if (sq_gettype(v, 2) != OT_STRING || !SQ_SUCCEEDED(sq_getstring(v, 2, &path)) || !get_number(v, 3, &volume))
    return sq_throwerror(v, TYPE_ERROR);
  push_sound(v, load_sample(path, volume));
  return 1;
}

static SQInteger native_load_music(HSQUIRRELVM v) {
  const SQChar* path = nullptr;
  float loop_point = 0;
  if (sq_gettype(v, 2) != OT_STRING || !SQ_SUCCEEDED(sq_getstring(v, 2, &path)) || !get_number(v, 3, &loop_point))
    return sq_throwerror(v, TYPE_ERROR);
  push_sound(v, load_music(path, loop_point));
  return 1;
}

static SQInteger native_play_sfx(HSQUIRRELVM v) {
  SoundId sample = 0;
  float volume = 0, pan = 0;
  if (!get_sound(v, 2, &sample) || !get_number(v, 3, &volume) || !get_number(v, 4, &pan))
    return sq_throwerror(v, TYPE_ERROR);
  sq_pushinteger(v, play_sfx(sample, volume, pan));
  return 1;
}

static SQInteger native_play_ui(HSQUIRRELVM v) {
  SoundId sample = 0;
  float volume = 0;
  if (!get_sound(v, 2, &sample) || !get_number(v, 3, &volume))
    return sq_throwerror(v, TYPE_ERROR);
  sq_pushinteger(v, play_ui(sample, volume));
  return 1;
}

static SQInteger native_play_music(HSQUIRRELVM v) {
  SoundId stream = 0;
  if (!get_sound(v, 2, &stream))
    return sq_throwerror(v, TYPE_ERROR);
  sq_pushinteger(v, play_music(stream));
  return 1;
}

static SQInteger native_fade_out_and_stop(HSQUIRRELVM v) {
  SQInteger voice = 0;
  float ms = 0;
  if (!get_integer(v, 2, &voice) || !get_number(v, 3, &ms))
    return sq_throwerror(v, TYPE_ERROR);
  fade_out_and_stop(voice, ms);
  return 0;
}

static SQInteger native_game_rnd(HSQUIRRELVM v) {
  sq_pushinteger(v, game_rnd());
  return 1;
}

struct SoundNative {
  const char* name;
  SQFUNCTION func;
  int params;  // including `this`
};

static const SoundNative sound_natives[] = {
    {"load_sample", native_load_sample, 3},
    {"load_music", native_load_music, 3},
    {"play_sfx", native_play_sfx, 4},
    {"play_ui", native_play_ui, 3},
    {"play_music", native_play_music, 2},
    {"fade_out_and_stop", native_fade_out_and_stop, 3},
    {"game_rnd", native_game_rnd, 1},
};

// --- VM hooks --------------------------------------------------------------------

static SquirrelSoundVM* owner_of(HSQUIRRELVM v) {
  return (SquirrelSoundVM*)sq_getforeignptr(v);
}

static void print_to_log(HSQUIRRELVM, const SQChar* fmt, ...) {
  char text[1024];
  va_list args;
  va_start(args, fmt);
  vsnprintf(text, sizeof(text), fmt, args);
  va_end(args);
  size_t n = strlen(text);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
    text[--n] = 0;
  debug("%s", text);
}

static void on_compile_error(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line, SQInteger column) {
  char text[1024];
  snprintf(text, sizeof(text), "%s(%d:%d): %s", source ? source : "?", (int)line, (int)column, desc ? desc : "?");
  owner_of(v)->lastError = text;
  debug("%s", text);
}

// Run-time errors: keep the text for the on-screen message and log the call stack.
static SQInteger on_runtime_error(HSQUIRRELVM v) {
  const SQChar* text = "unknown error";
  if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_tostring(v, 2))) {
    sq_getstring(v, -1, &text);
    owner_of(v)->lastError = text;
    sq_poptop(v);
  } else {
    owner_of(v)->lastError = text;
  }
  debug("sound script error: %s", owner_of(v)->lastError.c_str());
  return 0;
}

// --- the VM ----------------------------------------------------------------------

SquirrelSoundVM::~SquirrelSoundVM() {
  // Nothing here: close_sound_script closes the VM, and at exit (a fatal error among
  // them) the script library may already be gone, so the process reclaims it.
}

bool SquirrelSoundVM::open() {
  close();
  vm = sq_open(1024);
  if (!vm)
    return false;
  sq_setforeignptr(vm, this);
  sq_setprintfunc(vm, print_to_log, print_to_log);
  sq_setcompilererrorhandler(vm, on_compile_error);
  sq_newclosure(vm, on_runtime_error, 0);
  sq_seterrorhandler(vm);
  for (const SoundNative& n : sound_natives) {
    sq_pushroottable(vm);
    sq_pushstring(vm, n.name, -1);
    sq_newclosure(vm, n.func, 0);
    sq_setnativeclosurename(vm, -1, n.name);
    sq_setparamscheck(vm, n.params, nullptr);
    sq_newslot(vm, -3, SQFalse);
    sq_poptop(vm);
  }
  for (HSQOBJECT& o : eventClosures)
    sq_resetobject(&o);
  sq_resetobject(&eventsTable);
  return true;
}

void SquirrelSoundVM::close() {
  if (!vm)
    return;
  releaseEvents();
  files.clear();
  sq_close(vm);
  vm = nullptr;
}

bool SquirrelSoundVM::runFile(const char* path, String& error) {
  PHYSFS_File* file = PHYSFS_openRead(path);
  if (!file) {
    error = "cannot open script file ";
    error.insert(error.len(), path, (int)strlen(path));
    return false;
  }
  PHYSFS_sint64 length = PHYSFS_fileLength(file);
  DynArray<char> text;
  if (length >= 0 && length < (1 << 28)) {
    text.resize((int)length + 1);
    int64_t got = vfs_read(file, text.data, 1, (uint32_t)length);
    text.resize(got < 0 ? 0 : (int)got);
  }
  PHYSFS_close(file);
  if (length < 0 || text.num != length) {
    error = "cannot read script file ";
    error.insert(error.len(), path, (int)strlen(path));
    return false;
  }

  SQInteger top = sq_gettop(vm);
  lastError.clear();
  bool ok = SQ_SUCCEEDED(sq_compilebuffer(vm, text.data, text.num, path, SQTrue));
  if (ok) {
    sq_pushroottable(vm);
    ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
  }
  sq_settop(vm, top);
  if (!ok)
    error = lastError.isEmpty() ? String("script failed") : lastError;
  return ok;
}

bool SquirrelSoundVM::include(const char* path, String& error) {
  ScriptFile& f = files.push();
  f.path = path;
  f.modTime = vfs_last_mod_time(path);
  return runFile(path, error);
}

bool SquirrelSoundVM::filesChanged() {
  bool changed = false;
  for (int i = 0; i < files.num; i++) {
    int64_t now = vfs_last_mod_time(files[i].path.c_str());
    if (now != files[i].modTime) {
      files[i].modTime = now;
      changed = true;
    }
  }
  return changed;
}

bool SquirrelSoundVM::reload(String& error) {
  for (int i = 0; i < files.num; i++) {
    files[i].modTime = vfs_last_mod_time(files[i].path.c_str());
    if (!runFile(files[i].path.c_str(), error))
      return false;
  }
  return true;
}

void SquirrelSoundVM::releaseEvents() {
  if (!vm)
    return;
  for (HSQOBJECT& o : eventClosures) {
    sq_release(vm, &o);
    sq_resetobject(&o);
  }
  sq_release(vm, &eventsTable);
  sq_resetobject(&eventsTable);
}

bool SquirrelSoundVM::bindEvents(const char* const* names, int count, bool* bound, String& error) {
  releaseEvents();
  SQInteger top = sq_gettop(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, "events", -1);
  if (!SQ_SUCCEEDED(sq_get(vm, -2))) {
    sq_settop(vm, top);
    error = "the index 'events' does not exist";
    return false;
  }
  // A weak reference already is one; anything else is referred to weakly.
  if (sq_gettype(vm, -1) != OT_WEAKREF)
    sq_weakref(vm, -1);
  sq_getstackobj(vm, -1, &eventsTable);
  sq_addref(vm, &eventsTable);
  sq_settop(vm, top);

  if (pushEventsTable()) {
    for (int id = 0; id < count && id < NUM_SOUND_EVENTS; id++) {
      bound[id] = false;
      if (!names[id])
        continue;
      sq_pushstring(vm, names[id], -1);
      if (SQ_SUCCEEDED(sq_get(vm, -2))) {
        SQObjectType type = sq_gettype(vm, -1);
        if (type == OT_CLOSURE || type == OT_NATIVECLOSURE) {
          sq_getstackobj(vm, -1, &eventClosures[id]);
          sq_addref(vm, &eventClosures[id]);
          bound[id] = true;
        }
        sq_poptop(vm);
      }
    }
  }
  sq_settop(vm, top);
  return true;
}

bool SquirrelSoundVM::pushEventsTable() {
  if (sq_isnull(eventsTable))
    return false;
  sq_pushobject(vm, eventsTable);
  if (!SQ_SUCCEEDED(sq_getweakrefval(vm, -1)) || sq_gettype(vm, -1) == OT_NULL) {
    sq_poptop(vm);
    return false;
  }
  sq_remove(vm, -2);
  return true;
}

bool SquirrelSoundVM::isEventBound(int id) {
  if (!vm || id < 0 || id >= NUM_SOUND_EVENTS || sq_isnull(eventClosures[id]))
    return false;
  SQInteger top = sq_gettop(vm);
  bool alive = pushEventsTable();
  sq_settop(vm, top);
  return alive;
}

bool SquirrelSoundVM::callEvent(int id, float volume, float pan, int64_t& result, String& error) {
  SQInteger top = sq_gettop(vm);
  sq_pushobject(vm, eventClosures[id]);
  if (!pushEventsTable()) {
    sq_settop(vm, top);
    error = "SqFunc: can't deref weakptr to object";
    return false;
  }
  sq_pushfloat(vm, volume);
  sq_pushfloat(vm, pan);
  lastError.clear();
  if (!SQ_SUCCEEDED(sq_call(vm, 3, SQTrue, SQTrue))) {
    sq_settop(vm, top);
    error = "SqFunc<> call failed";
    return false;
  }
  SQInteger value = 0;
  bool ok = get_integer(vm, -1, &value);
  sq_settop(vm, top);
  if (!ok) {
    error = TYPE_ERROR;
    return false;
  }
  result = value;
  return true;
}
