#include "net/socket_dispatcher.h"

#include <cerrno>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <list>
#include <mutex>

#include "net/async_socket.h"
#include "net/socket_layer.h"

namespace {

struct DispatcherRecord {
  QThread* thread;
  SocketDispatcher* dispatcher;
  int references;
};

struct Registry {
  std::mutex lock;
  std::list<DispatcherRecord> records;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

const QEvent::Type kLayerEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// An event a layer passes up, queued so that it reaches its target after the current
// handler has returned.
struct LayerEvent : QEvent {
  LayerEvent(int slot, uint64_t serial, SocketLayer* target, int event, int error)
      : QEvent(kLayerEventType),
        slot(slot),
        serial(serial),
        target(target),
        event(event),
        error(error) {}
  int slot;
  uint64_t serial;
  SocketLayer* target;
  int event;
  int error;
};

}  // namespace

SocketDispatcher* SocketDispatcher::Attach() {
  QThread* thread = QThread::currentThread();
  if (!QCoreApplication::instance() || !thread->eventDispatcher()) return nullptr;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  for (DispatcherRecord& record : registry.records) {
    if (record.thread == thread) {
      ++record.references;
      return record.dispatcher;
    }
  }
  auto* dispatcher = new SocketDispatcher;
  registry.records.push_front({thread, dispatcher, 1});
  return dispatcher;
}

void SocketDispatcher::Release(SocketDispatcher* dispatcher) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  for (auto it = registry.records.begin(); it != registry.records.end(); ++it) {
    if (it->dispatcher != dispatcher) continue;
    if (--it->references == 0) {
      // The last socket may go from inside one of this dispatcher's own events; events
      // still queued for it find no socket and are dropped.
      dispatcher->deleteLater();
      registry.records.erase(it);
    }
    return;
  }
}

CAsyncSocketEx* SocketDispatcher::Find(int slot, uint64_t serial) const {
  CAsyncSocketEx* socket = table_.At(slot);
  return socket && socket->serial_ == serial ? socket : nullptr;
}

void SocketDispatcher::OnReadable(int slot, uint64_t serial) {
  CAsyncSocketEx* socket = Find(slot, serial);
  if (!socket) return;
  // Each FD_READ waits for a Receive before the next one, as the handler may read only
  // part of what is there.
  socket->ArmRead(false);
  if (socket->listening_) return Deliver(slot, serial, Net::FD_ACCEPT, 0);
  // One peek decides, so bytes that arrive meanwhile are never taken for a hang-up.
  int error = 0;  // stays 0 for an orderly hang-up
  if (PeekSocket(socket->handle_, error) > 0) return Deliver(slot, serial, Net::FD_READ, 0);
  if (error == kSocketWouldBlock) return socket->ArmRead(true);  // woken without data
  socket->peerClosed_ = true;
  Deliver(slot, serial, Net::FD_CLOSE, error);
}

void SocketDispatcher::OnWritable(int slot, uint64_t serial) {
  CAsyncSocketEx* socket = Find(slot, serial);
  if (!socket) return;
  socket->ArmWrite(false);
  if (!socket->connecting_) return Deliver(slot, serial, Net::FD_WRITE, 0);
  socket->connecting_ = false;
  const int error = ConnectError(socket->handle_);
  if (error == 0) socket->ArmRead(true);
  Deliver(slot, serial, Net::FD_CONNECT, error);
  if (error == 0) Deliver(slot, serial, Net::FD_WRITE, 0);
}

void SocketDispatcher::OnLookupDone(int slot, uint64_t serial, uint32_t address, int error) {
  CAsyncSocketEx* socket = Find(slot, serial);
  if (!socket) return;
  socket->lookupId_ = -1;
  if (error != 0) return socket->OnConnect(error);
  if (!socket->Connect(Ipv4Endpoint{address, socket->lookupPort_}) &&
      Net::LastError() != kSocketWouldBlock)
    socket->OnConnect(Net::LastError());
}

void SocketDispatcher::Deliver(int slot, uint64_t serial, int event, int error) {
  CAsyncSocketEx* socket = Find(slot, serial);  // an earlier handler may have closed it
  if (!socket) return;
  if (socket->lastLayer_) return socket->lastLayer_->CallEvent(event, error);
  socket->DeliverToHandler(event, error);
}

void SocketDispatcher::PostLayerEvent(const CAsyncSocketEx& socket, SocketLayer* target, int event,
                                      int error) {
  QCoreApplication::postEvent(this,
                              new LayerEvent(socket.slot_, socket.serial_, target, event, error));
}

bool SocketDispatcher::event(QEvent* e) {
  if (e->type() != kLayerEventType) return QObject::event(e);
  const auto* layerEvent = static_cast<LayerEvent*>(e);
  CAsyncSocketEx* socket = Find(layerEvent->slot, layerEvent->serial);
  if (!socket) return true;
  if (layerEvent->target) {
    layerEvent->target->CallEvent(layerEvent->event, layerEvent->error);
  } else if (socket->eventMask_ &
             (layerEvent->event == Net::FD_FORCEREAD ? Net::FD_READ : layerEvent->event)) {
    socket->DeliverToHandler(layerEvent->event, layerEvent->error);
  }
  return true;
}
