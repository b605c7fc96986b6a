#pragma once
#include <csignal>
#include <cstddef>
#include <cstdint>

// The crash report, written from inside a fatal-signal handler: async-signal-safe calls
// only (no allocation, no locks, no stdio), on buffers prepared before the crash.
//
// The report is plain text: the version, program, time, signal and fault address, the
// registers, a backtrace whose frames name their module and the address inside it (what
// `addr2line -f -C -e MODULE ADDRESS` takes), and the loaded files with their address ranges.
namespace CrashReport {

// Buffered writes to a file descriptor, numbers formatted by hand.
class Writer {
 public:
  explicit Writer(int fd) : fd_(fd) {}
  ~Writer() { Flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  Writer& Text(const char* text);
  Writer& Bytes(const char* data, size_t size);
  Writer& Hex(uint64_t value);                // "0x" and 16 digits
  Writer& Dec(int64_t value, int width = 0);  // zero-padded to width
  void Flush();

 private:
  int fd_;
  char buffer_[1024];
  size_t used_ = 0;
};

// One line of /proc/self/maps: "start-end perms offset dev inode   path".
struct MapsLine {
  uint64_t start = 0;
  uint64_t end = 0;
  uint64_t offset = 0;
  bool executable = false;
  const char* path = nullptr;  // inside the line, pathSize bytes, not terminated
  size_t pathSize = 0;
};
bool ParseMapsLine(const char* line, size_t size, MapsLine& out);

// Where an address lies: the file mapped there, and the address relative to that file's
// load base (the start of its mapping at file offset 0).
struct ModuleAddress {
  const char* path = nullptr;
  size_t pathSize = 0;
  uint64_t relative = 0;
};
bool FindModule(const char* maps, size_t size, uint64_t address, ModuleAddress& out);

// "2024-05-01 12:34:56 UTC" for seconds since 1970.
void WriteUtcTime(Writer& writer, int64_t epochSeconds);

// "SIGSEGV" and the other fatal signals; "signal" for the rest.
const char* SignalName(int signal);

struct Facts {
  int signal = 0;
  const siginfo_t* info = nullptr;
  const void* context = nullptr;  // the handler's ucontext_t
  const char* version = "";
  const char* program = "";
  const char* reason = "";     // why the program aborted, when known (an uncaught exception)
  char* mapsBuffer = nullptr;  // scratch for /proc/self/maps
  size_t mapsBufferSize = 0;
};

// Writes the whole report to fd.
void Write(int fd, const Facts& facts);

}  // namespace CrashReport
