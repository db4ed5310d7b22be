#pragma once
// Our profiler: named blocks and events recorded per thread, a loopback listener
// that streams them to a client as frames end, and a dump file. The byte layout of
// the stream and the dump is described in FORMAT.md.
//
//   PROFILE_BLOCK("render_scene", 0xFFFFECB3);   // until the end of the scope
//   PROFILE_FRAME("FRAME", 0xFFFFECB3);          // an event that ends a frame
//   PROFILE_EVENT("reload", 0xFF00FF00);         // a plain event
//
// Recording happens only while enabled; a block begun while disabled is not kept.
#include <cstddef>
#include <cstdint>

namespace profiler {

constexpr uint16_t DEFAULT_PORT = 28077;

using color_t = uint32_t;

enum class BlockKind : uint8_t { Block = 0, Event = 1, Frame = 2 };

// One registered name: blocks and events refer to it by id.
struct BlockDescriptor {
  uint32_t id;
  BlockKind kind;
  color_t color;
  int line;
  const char* name;
  const char* file;
};

// Registers a name once (thread-safe); the macros keep the result in a static.
const BlockDescriptor* registerDescription(const char* name, color_t color, const char* file, int line,
                                           BlockKind kind);

void beginBlock(const BlockDescriptor* desc);
// Ends the innermost open block of the calling thread; does nothing when none is open.
void endBlock();
// Stores an event; an event of kind Frame also ends the current frame for the
// connected clients, who then receive every block completed since their last batch.
void storeEvent(const BlockDescriptor* desc);

void setEnabled(bool enabled);
bool isEnabled();

// Clients served at once: a viewer needs one or two. A further connection is closed
// as soon as it is accepted, with one log line for each run of such refusals.
constexpr int MAX_CLIENTS = 8;

// Starts listening on 127.0.0.1:port for clients; true when listening (also when it
// was already). A client receives everything recorded so far, then each frame.
bool startListen(uint16_t port = DEFAULT_PORT);
void stopListen();
bool isListening();
// Clients connected now (for tests and the overlay).
int connectedClients();

// Names the calling thread unless it has a name already; returns the thread's name.
const char* registerThread(const char* name);
bool isThreadRegistered();

// Writes every recorded block and event to the file; returns how many were written
// (0 and no file when it can't be written).
uint32_t dumpBlocksToFile(const char* path);

// Forgets every recorded block (names and threads stay) and the dropped counts.
void clearRecorded();

// Where the profiler's own log lines go (a client dropped, the port taken); standard
// error until set. The game points it at its log.
using LogFunction = void (*)(const char* line);
void setLogFunction(LogFunction log);

// The recorded history keeps at most `history_bytes` (64 MB), dropping the oldest
// frames first; a client is dropped once `client_backlog_bytes` (16 MB) wait for it.
// 0 restores a default. For tests.
void setLimits(size_t history_bytes, size_t client_backlog_bytes);

// Nanoseconds of the monotonic clock, the time base of every record.
uint64_t now();

class ScopedBlock {
 public:
  explicit ScopedBlock(const BlockDescriptor* desc) { beginBlock(desc); }
  ~ScopedBlock() { endBlock(); }
  ScopedBlock(const ScopedBlock&) = delete;
  ScopedBlock& operator=(const ScopedBlock&) = delete;
};

}  // namespace profiler

#define PROFILER_JOIN2(a, b) a##b
#define PROFILER_JOIN(a, b) PROFILER_JOIN2(a, b)

#define PROFILE_BLOCK(name, color)                                                                    \
  static const ::profiler::BlockDescriptor* PROFILER_JOIN(profiler_desc_, __LINE__) =                \
      ::profiler::registerDescription(name, color, __FILE__, __LINE__, ::profiler::BlockKind::Block); \
  ::profiler::ScopedBlock PROFILER_JOIN(profiler_block_, __LINE__)(PROFILER_JOIN(profiler_desc_, __LINE__))

#define PROFILER_STORE_EVENT(name, color, kind)                                                          \
  do {                                                                                                   \
    static const ::profiler::BlockDescriptor* profiler_event_desc =                                      \
        ::profiler::registerDescription(name, color, __FILE__, __LINE__, kind);                          \
    ::profiler::storeEvent(profiler_event_desc);                                                         \
  } while (0)

#define PROFILE_EVENT(name, color) PROFILER_STORE_EVENT(name, color, ::profiler::BlockKind::Event)
#define PROFILE_FRAME(name, color) PROFILER_STORE_EVENT(name, color, ::profiler::BlockKind::Frame)
