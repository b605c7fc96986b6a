#include "platform/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The system's error as Korvane's: the same numbers, with a pending result of a
// non-blocking call read as the one "would block" error.
int Mapped(int systemError) {
  return systemError == EAGAIN || systemError == EINPROGRESS ? kSocketWouldBlock : systemError;
}

int LastSystemError() { return Mapped(errno); }

int Result(int systemResult) { return systemResult == 0 ? 0 : LastSystemError(); }

sockaddr_in SystemAddress(const Ipv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = endpoint.address;
  address.sin_port = htons(endpoint.port);
  return address;
}

}  // namespace

int OpenStreamSocket(int& handle) {
  handle = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (handle >= 0) return 0;
  handle = -1;
  return LastSystemError();
}

int BindToAnyAddress(int handle) {
  const sockaddr_in any = SystemAddress({htonl(INADDR_ANY), 0});
  return Result(::bind(handle, reinterpret_cast<const sockaddr*>(&any), sizeof any));
}

int ConnectSocket(int handle, const Ipv4Endpoint& to) {
  const sockaddr_in address = SystemAddress(to);
  return Result(::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int ConnectError(int handle) {
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &size) == 0 ? Mapped(error)
                                                                        : LastSystemError();
}

int ReceiveFromSocket(int handle, void* buffer, int length, int flags, int& error) {
  const ssize_t got = ::recv(handle, buffer, size_t(length), flags);
  if (got < 0) error = LastSystemError();
  return got < 0 ? -1 : int(got);
}

int SendToSocket(int handle, const void* buffer, int length, int flags, int& error) {
  // A peer that went away is an error of this call, never a signal that ends the process.
  const ssize_t sent = ::send(handle, buffer, size_t(length), flags | MSG_NOSIGNAL);
  if (sent < 0) error = LastSystemError();
  return sent < 0 ? -1 : int(sent);
}

int PeekSocket(int handle, int& error) {
  char probe;
  const ssize_t peeked = ::recv(handle, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (peeked >= 0) return peeked > 0 ? 1 : 0;
  error = errno == EINTR ? kSocketWouldBlock : LastSystemError();
  return -1;
}

int ListenOnSocket(int handle, int backlog) { return Result(::listen(handle, backlog)); }

int AcceptOnSocket(int handle, int& accepted) {
  accepted = ::accept4(handle, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (accepted >= 0) return 0;
  accepted = -1;
  return LastSystemError();
}

int PeerOfSocket(int handle, Ipv4Endpoint& peer) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return LastSystemError();
  peer = {address.sin_addr.s_addr, ntohs(address.sin_port)};
  return 0;
}

int ShutDownSocket(int handle, int how) {
  const int systemHow = how == kShutDownReceiving ? SHUT_RD
                        : how == kShutDownSending ? SHUT_WR
                                                  : SHUT_RDWR;
  return Result(::shutdown(handle, systemHow));
}

void CloseSocket(int handle) { ::close(handle); }

bool ParseIpv4(const QByteArray& text, uint32_t& address) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, text.constData(), &parsed) != 1) return false;
  address = parsed.s_addr;
  return true;
}

bool ResolveIpv4(const QByteArray& host, uint32_t& address) {
  if (host.isEmpty()) return false;
  if (ParseIpv4(host, address)) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || !found) return false;
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  return true;
}

QString DottedIpv4(uint32_t address) {
  in_addr raw{};
  raw.s_addr = address;
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &raw, text, sizeof text);
  return QString::fromLatin1(text);
}
