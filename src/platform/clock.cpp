#include "platform/clock.h"

#include <chrono>

uint64_t MonotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
