#pragma once
#include <atomic>

// The stop request of the work the calling thread does now (a rip's reads), for a wait deep
// below that work which cannot be handed the flag: the emulated drive's read throttle looks
// at it, so a cancel never waits for a slow read to end. Scopes nest; each thread has its own.
class StopRequestScope {
 public:
  explicit StopRequestScope(const std::atomic<int>* stop);
  ~StopRequestScope();
  StopRequestScope(const StopRequestScope&) = delete;
  StopRequestScope& operator=(const StopRequestScope&) = delete;

  // True when the calling thread's current work is asked to stop.
  static bool StopRequested();

 private:
  const std::atomic<int>* previous_;
};
