#pragma once
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

// Calls posted from any thread, run one by one, in order, on the thread this object lives on.
// The hand-over goes through a mutex of our own rather than a functor in Qt's event queue, so
// the posting thread's writes are plainly visible to the call (and to ThreadSanitizer, which
// sees none of Qt's own locks). Calls still queued when the object dies are dropped.
class CallQueue : public QObject {
  Q_OBJECT
 public:
  explicit CallQueue(QObject* parent = nullptr);
  void Post(std::function<void()> call);

 signals:
  void Posted();

 private:
  // One call per Posted signal, and nothing of this object touched once it ran: a call may
  // destroy the queue's owner.
  void RunOne();

  std::mutex lock_;
  std::deque<std::function<void()>> calls_;
};
