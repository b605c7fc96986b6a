#pragma once
#include <QObject>
#include <deque>
#include <functional>
#include <thread>

// Runs slow work on a thread of its own and hands its report back to the thread this object
// lives on. The report runs there only after the worker has been joined, so everything the
// worker wrote is visible to it without further locking. Destroying the task waits for the
// worker (ask the work to stop first) and drops a report that has not run yet.
class BackgroundTask : public QObject {
  Q_OBJECT
 public:
  using Report = std::function<void()>;
  using Work = std::function<Report()>;

  BackgroundTask();
  ~BackgroundTask() override;
  // Waits for the previous work, if any, before starting this one; its report still runs.
  void Run(Work work);

 signals:
  void WorkEnded();

 private:
  // Joins a running worker and queues its report.
  void JoinWorker();
  void DeliverReport();

  std::thread worker_;
  Report report_;  // written by the worker, read after it is joined
  std::deque<Report> ready_;
};
