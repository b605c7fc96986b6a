#include "platform/crash_report.h"

#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace CrashReport {
namespace {

constexpr int kMaxFrames = 128;

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads hex digits at text[pos...]; false when there are none or too many.
bool ParseHex(const char* text, size_t size, size_t& pos, uint64_t& value) {
  value = 0;
  const size_t begin = pos;
  while (pos < size && HexDigit(text[pos]) >= 0) {
    if (pos - begin == 16) return false;
    value = value << 4 | static_cast<uint64_t>(HexDigit(text[pos]));
    ++pos;
  }
  return pos > begin;
}

bool Expect(const char* text, size_t size, size_t& pos, char c) {
  if (pos >= size || text[pos] != c) return false;
  ++pos;
  return true;
}

// Moves past one field and the blanks after it.
void SkipField(const char* text, size_t size, size_t& pos) {
  while (pos < size && text[pos] != ' ') ++pos;
  while (pos < size && text[pos] == ' ') ++pos;
}

bool SamePath(const MapsLine& line, const char* path, size_t pathSize) {
  return line.pathSize == pathSize && std::memcmp(line.path, path, pathSize) == 0;
}

// Calls visit(parsed line) for each well-formed line; stops when it returns false.
template <typename Visit>
void ForEachMapsLine(const char* maps, size_t size, Visit visit) {
  size_t begin = 0;
  while (begin < size) {
    const void* newline = std::memchr(maps + begin, '\n', size - begin);
    const size_t end =
        newline ? static_cast<size_t>(static_cast<const char*>(newline) - maps) : size;
    MapsLine line;
    if (ParseMapsLine(maps + begin, end - begin, line) && !visit(line)) return;
    begin = end + 1;
  }
}

size_t ReadProcMaps(char* buffer, size_t capacity) {
  const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t used = 0;
  while (used < capacity) {
    const ssize_t got = ::read(fd, buffer + used, capacity - used);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    used += static_cast<size_t>(got);
  }
  ::close(fd);
  return used;
}

struct Register {
  const char* name;
  int index;
};

#if defined(__x86_64__)
constexpr Register kRegisters[] = {
    {"rax", REG_RAX}, {"rbx", REG_RBX},    {"rcx", REG_RCX},       {"rdx", REG_RDX},
    {"rsi", REG_RSI}, {"rdi", REG_RDI},    {"rbp", REG_RBP},       {"rsp", REG_RSP},
    {"r8", REG_R8},   {"r9", REG_R9},      {"r10", REG_R10},       {"r11", REG_R11},
    {"r12", REG_R12}, {"r13", REG_R13},    {"r14", REG_R14},       {"r15", REG_R15},
    {"rip", REG_RIP}, {"eflags", REG_EFL}, {"trapno", REG_TRAPNO}, {"err", REG_ERR},
    {"cr2", REG_CR2},
};
uint64_t RegisterValue(const ucontext_t& context, int index) {
  return static_cast<uint64_t>(context.uc_mcontext.gregs[index]);
}
uint64_t ProgramCounter(const ucontext_t& context) { return RegisterValue(context, REG_RIP); }
#elif defined(__aarch64__)
constexpr Register kRegisters[] = {
    {"x0", 0},   {"x1", 1},   {"x2", 2},   {"x3", 3},   {"x4", 4},   {"x5", 5},      {"x6", 6},
    {"x7", 7},   {"x8", 8},   {"x9", 9},   {"x10", 10}, {"x11", 11}, {"x12", 12},    {"x13", 13},
    {"x14", 14}, {"x15", 15}, {"x16", 16}, {"x17", 17}, {"x18", 18}, {"x19", 19},    {"x20", 20},
    {"x21", 21}, {"x22", 22}, {"x23", 23}, {"x24", 24}, {"x25", 25}, {"x26", 26},    {"x27", 27},
    {"x28", 28}, {"fp", 29},  {"lr", 30},  {"sp", 31},  {"pc", 32},  {"pstate", 33},
};
uint64_t RegisterValue(const ucontext_t& context, int index) {
  const auto& m = context.uc_mcontext;
  if (index < 31) return m.regs[index];
  return index == 31 ? m.sp : index == 32 ? m.pc : m.pstate;
}
uint64_t ProgramCounter(const ucontext_t& context) { return context.uc_mcontext.pc; }
#else
constexpr Register kRegisters[] = {{"", 0}};
uint64_t RegisterValue(const ucontext_t&, int) { return 0; }
uint64_t ProgramCounter(const ucontext_t&) { return 0; }
#endif

void WriteRegisters(Writer& writer, const ucontext_t& context) {
  writer.Text("\nRegisters:\n");
  int column = 0;
  for (const Register& reg : kRegisters) {
    if (!reg.name[0]) continue;
    writer.Text(reg.name).Text(" ").Hex(RegisterValue(context, reg.index));
    writer.Text(++column % 4 == 0 ? "\n" : "  ");
  }
  if (column % 4 != 0) writer.Text("\n");
}

void WriteFrame(Writer& writer, int number, uint64_t address, const char* maps, size_t mapsSize) {
  writer.Text("#").Dec(number).Text(" ").Hex(address).Text(" ");
  ModuleAddress module;
  if (FindModule(maps, mapsSize, address, module)) {
    writer.Bytes(module.path, module.pathSize).Text("+0x");
    // The relative address without leading zeros, as addr2line prints and takes it.
    char digits[16];
    int count = 0;
    uint64_t value = module.relative;
    do {
      digits[count++] = "0123456789abcdef"[value & 0xF];
      value >>= 4;
    } while (value != 0);
    while (count > 0) writer.Bytes(&digits[--count], 1);
  } else {
    writer.Text("?");
  }
  writer.Text("\n");
}

// The frames from the faulting instruction outwards. The unwinder's first frames are this
// handler's own and the kernel's signal trampoline; the frame at the interrupted program
// counter is where the program's stack begins.
void WriteBacktrace(Writer& writer, uint64_t programCounter, const char* maps, size_t mapsSize) {
  writer.Text("\nBacktrace:\n");
  void* frames[kMaxFrames];
  const int count = ::backtrace(frames, kMaxFrames);
  int first = 0;
  for (int i = 0; i < count; ++i) {
    if (reinterpret_cast<uint64_t>(frames[i]) == programCounter) {
      first = i + 1;
      break;
    }
  }
  int number = 0;
  if (programCounter != 0) WriteFrame(writer, number++, programCounter, maps, mapsSize);
  for (int i = first; i < count; ++i) {
    WriteFrame(writer, number++, reinterpret_cast<uint64_t>(frames[i]), maps, mapsSize);
  }
}

// One line per mapped file: the range from its first mapping to its last, and its path.
void WriteModules(Writer& writer, const char* maps, size_t mapsSize) {
  writer.Text("\nModules:\n");
  MapsLine module;
  const auto writeModule = [&] {
    if (!module.path) return;
    writer.Hex(module.start).Text("-").Hex(module.end).Text(" ");
    writer.Bytes(module.path, module.pathSize).Text("\n");
  };
  ForEachMapsLine(maps, mapsSize, [&](const MapsLine& line) {
    if (line.pathSize == 0 || line.path[0] != '/') return true;
    if (module.path && SamePath(module, line.path, line.pathSize)) {
      module.end = line.end;
      return true;
    }
    writeModule();
    module = line;
    return true;
  });
  writeModule();
}

bool HasFaultAddress(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE;
}

}  // namespace

Writer& Writer::Bytes(const char* data, size_t size) {
  if (used_ + size > sizeof buffer_) Flush();
  if (size > sizeof buffer_) {
    WriteAll(fd_, data, size);
    return *this;
  }
  std::memcpy(buffer_ + used_, data, size);
  used_ += size;
  return *this;
}

Writer& Writer::Text(const char* text) { return Bytes(text, std::strlen(text)); }

Writer& Writer::Hex(uint64_t value) {
  char digits[18] = {'0', 'x'};
  for (int i = 17; i >= 2; --i, value >>= 4) digits[i] = "0123456789abcdef"[value & 0xF];
  return Bytes(digits, sizeof digits);
}

Writer& Writer::Dec(int64_t value, int width) {
  char digits[24];
  int count = 0;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count < width && count < 20) digits[count++] = '0';
  if (value < 0) digits[count++] = '-';
  while (count > 0) Bytes(&digits[--count], 1);
  return *this;
}

void Writer::Flush() {
  WriteAll(fd_, buffer_, used_);
  used_ = 0;
}

bool ParseMapsLine(const char* line, size_t size, MapsLine& out) {
  size_t pos = 0;
  MapsLine parsed;
  if (!ParseHex(line, size, pos, parsed.start) || !Expect(line, size, pos, '-') ||
      !ParseHex(line, size, pos, parsed.end) || !Expect(line, size, pos, ' ')) {
    return false;
  }
  if (pos + 5 > size || line[pos + 4] != ' ' || parsed.end < parsed.start) return false;
  parsed.executable = line[pos + 2] == 'x';
  pos += 5;
  if (!ParseHex(line, size, pos, parsed.offset) || !Expect(line, size, pos, ' ')) return false;
  SkipField(line, size, pos);  // device
  SkipField(line, size, pos);  // inode
  parsed.path = line + pos;
  parsed.pathSize = size - pos;
  out = parsed;
  return true;
}

bool FindModule(const char* maps, size_t size, uint64_t address, ModuleAddress& out) {
  MapsLine base;  // the latest mapping at file offset 0, the load base of its file
  bool found = false;
  ForEachMapsLine(maps, size, [&](const MapsLine& line) {
    if (line.pathSize == 0 || line.path[0] != '/') return true;
    if (line.offset == 0) base = line;
    if (address < line.start || address >= line.end) return true;
    if (base.path && SamePath(base, line.path, line.pathSize)) {
      out = {line.path, line.pathSize, address - base.start};
      found = true;
    }
    return false;
  });
  return found;
}

void WriteUtcTime(Writer& writer, int64_t epochSeconds) {
  int64_t days = epochSeconds / 86400;
  int64_t secondsOfDay = epochSeconds % 86400;
  if (secondsOfDay < 0) {
    secondsOfDay += 86400;
    --days;
  }
  // Days since 1970-01-01 to a proleptic Gregorian date, in 400-year eras.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // March = 0
  const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  writer.Dec(year, 4).Text("-").Dec(month, 2).Text("-").Dec(day, 2).Text(" ");
  writer.Dec(secondsOfDay / 3600, 2).Text(":").Dec(secondsOfDay / 60 % 60, 2).Text(":");
  writer.Dec(secondsOfDay % 60, 2).Text(" UTC");
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

void Write(int fd, const Facts& facts) {
  const size_t mapsSize = ReadProcMaps(facts.mapsBuffer, facts.mapsBufferSize);
  const auto& context = *static_cast<const ucontext_t*>(facts.context);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);

  Writer writer(fd);
  writer.Text("Korvane crash report\nVersion: ").Text(facts.version);
  writer.Text("\nProgram: ").Text(facts.program).Text("\nTime: ");
  WriteUtcTime(writer, now.tv_sec);
  writer.Text("\nProcess: ").Dec(::getpid()).Text(", thread ").Dec(::syscall(SYS_gettid));
  writer.Text("\nSignal: ").Dec(facts.signal).Text(" ").Text(SignalName(facts.signal));
  writer.Text(", code ").Dec(facts.info->si_code);
  if (HasFaultAddress(facts.signal)) {
    writer.Text("\nFault address: ").Hex(reinterpret_cast<uint64_t>(facts.info->si_addr));
  }
  if (facts.reason[0]) writer.Text("\nReason: ").Text(facts.reason);
  writer.Text("\n");
  WriteRegisters(writer, context);
  WriteBacktrace(writer, ProgramCounter(context), facts.mapsBuffer, mapsSize);
  WriteModules(writer, facts.mapsBuffer, mapsSize);
}

}  // namespace CrashReport
