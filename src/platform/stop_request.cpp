#include "platform/stop_request.h"

namespace {
thread_local const std::atomic<int>* currentStop = nullptr;
}

StopRequestScope::StopRequestScope(const std::atomic<int>* stop) : previous_(currentStop) {
  currentStop = stop;
}

StopRequestScope::~StopRequestScope() { currentStop = previous_; }

bool StopRequestScope::StopRequested() { return currentStop && currentStop->load() != 0; }
