#include "platform/background_task.h"

BackgroundTask::~BackgroundTask() {
  if (worker_.joinable()) worker_.join();
}

void BackgroundTask::Run(Work work) {
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread([this, work = std::move(work)] {
    if (Report report = work()) reports_.Post(std::move(report));
  });
}
