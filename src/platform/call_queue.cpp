#include "platform/call_queue.h"

CallQueue::CallQueue(QObject* parent) : QObject(parent) {
  connect(this, &CallQueue::Posted, this, &CallQueue::RunOne, Qt::QueuedConnection);
}

void CallQueue::Post(std::function<void()> call) {
  {
    std::lock_guard guard(lock_);
    calls_.push_back(std::move(call));
  }
  emit Posted();
}

void CallQueue::RunOne() {
  std::function<void()> call;
  {
    std::lock_guard guard(lock_);
    if (calls_.empty()) return;
    call = std::move(calls_.front());
    calls_.pop_front();
  }
  call();
}
