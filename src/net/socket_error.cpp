#include "net/socket_error.h"

namespace Net {

namespace {
thread_local int lastError = 0;
}

int LastError() { return lastError; }
void SetLastError(int error) { lastError = error; }

}  // namespace Net
