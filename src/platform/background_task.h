#pragma once
#include <functional>
#include <thread>

#include "platform/call_queue.h"

// Runs slow work on a thread of its own and hands its report back, through a CallQueue, to
// the thread this object was made on. Destroying the task waits for the worker (ask the work
// to stop first) and drops a report that has not run yet.
class BackgroundTask {
 public:
  using Report = std::function<void()>;
  using Work = std::function<Report()>;

  BackgroundTask() = default;
  ~BackgroundTask();
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;
  // Waits for the previous work, if any, before starting this one; its report still runs.
  void Run(Work work);

 private:
  std::thread worker_;
  CallQueue reports_;
};
