#pragma once
#include <QObject>
#include <cstdint>

#include "net/socket_table.h"

class CAsyncSocketEx;
class SocketLayer;

// One per thread that owns sockets, living in that thread's event loop: it turns readiness
// of the system sockets, finished host lookups and events passed up by layers into calls
// of the sockets' handlers. Sockets find it through Attach and give it back with Release;
// it is destroyed with the last socket of its thread.
class SocketDispatcher : public QObject {
 public:
  // Null when the calling thread has no event loop to run on.
  static SocketDispatcher* Attach();
  static void Release(SocketDispatcher* dispatcher);

  SocketTable& Table() { return table_; }
  uint64_t NextSerial() { return ++serial_; }

  void OnReadable(int slot, uint64_t serial);
  void OnWritable(int slot, uint64_t serial);
  void OnLookupDone(int slot, uint64_t serial, uint32_t address, int error);
  // Queues an event for a layer, or for the socket's own handler when target is null.
  void PostLayerEvent(const CAsyncSocketEx& socket, SocketLayer* target, int event, int error);

 protected:
  bool event(QEvent* e) override;

 private:
  SocketDispatcher() = default;
  CAsyncSocketEx* Find(int slot, uint64_t serial) const;
  // Hands a network event to the end of the socket's layer chain or to its handler.
  void Deliver(int slot, uint64_t serial, int event, int error);

  SocketTable table_;
  uint64_t serial_ = 0;
};
