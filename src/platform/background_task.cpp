#include "platform/background_task.h"

BackgroundTask::BackgroundTask() {
  connect(this, &BackgroundTask::WorkEnded, this, &BackgroundTask::DeliverReport,
          Qt::QueuedConnection);
}

BackgroundTask::~BackgroundTask() {
  if (worker_.joinable()) worker_.join();
}

void BackgroundTask::Run(Work work) {
  JoinWorker();
  worker_ = std::thread([this, work = std::move(work)] {
    report_ = work();
    emit WorkEnded();
  });
}

void BackgroundTask::JoinWorker() {
  if (!worker_.joinable()) return;
  worker_.join();
  ready_.push_back(std::move(report_));
  report_ = nullptr;
}

// One report per ended worker, and nothing of this object touched after it runs: a report
// may destroy the task's owner.
void BackgroundTask::DeliverReport() {
  JoinWorker();
  if (ready_.empty()) return;
  Report report = std::move(ready_.front());
  ready_.pop_front();
  if (report) report();
}
