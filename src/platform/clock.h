#pragma once
#include <cstdint>

// Milliseconds from a monotonic clock (never goes back when the wall clock is set).
uint64_t MonotonicMs();
