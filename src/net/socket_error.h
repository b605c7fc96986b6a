#pragma once
#include "platform/socket.h"

// Network events and the per-thread "last error" of the socket layer. Event values are the
// bit flags an event mask is built from; errors are the socket errors of platform/socket.h.
namespace Net {

inline constexpr int FD_READ = 1;
inline constexpr int FD_WRITE = 2;
inline constexpr int FD_OOB = 4;
inline constexpr int FD_ACCEPT = 8;
inline constexpr int FD_CONNECT = 16;
inline constexpr int FD_CLOSE = 32;
inline constexpr int FD_ALL_EVENTS = 63;
// Delivered like FD_READ: a layer asks its upper neighbour to read again.
inline constexpr int FD_FORCEREAD = 0x8000;

// A socket operation failed because this thread has no event loop to deliver events on.
inline constexpr int kErrorNoEventLoop = kSocketNetworkDown;

int LastError();
void SetLastError(int error);

// Keeps the last error across a callback into other code.
class LastErrorGuard {
 public:
  LastErrorGuard() : saved_(LastError()) {}
  ~LastErrorGuard() { SetLastError(saved_); }
  LastErrorGuard(const LastErrorGuard&) = delete;
  LastErrorGuard& operator=(const LastErrorGuard&) = delete;

 private:
  int saved_;
};

}  // namespace Net
