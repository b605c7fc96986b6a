#pragma once
#include <QByteArray>
#include <QString>

#include <cerrno>
#include <cstdint>

// The system's IPv4 TCP sockets, for the socket classes of src/net. Handles are the system's
// descriptors (-1: none); every socket is non-blocking and not inherited by child processes.
//
// Errors are Korvane's own values: the <cerrno> names below (and the few others a peer
// causes, such as ECONNREFUSED and ECONNRESET), to which the system's errors are mapped.
// A call that would have to wait, or a connection still being made, fails with
// kSocketWouldBlock.

inline constexpr int kSocketWouldBlock = EWOULDBLOCK;
inline constexpr int kSocketAlreadyOpen = EALREADY;
inline constexpr int kSocketNotOpen = ENOTSOCK;
inline constexpr int kSocketNotConnected = ENOTCONN;
inline constexpr int kSocketInvalidArgument = EINVAL;
inline constexpr int kSocketTooMany = EMFILE;
inline constexpr int kSocketNetworkDown = ENETDOWN;
inline constexpr int kSocketHostUnreachable = EHOSTUNREACH;
inline constexpr int kSocketConnectionAborted = ECONNABORTED;
inline constexpr int kSocketNotSupported = EOPNOTSUPP;

// What ShutDownSocket stops.
inline constexpr int kShutDownReceiving = 0;
inline constexpr int kShutDownSending = 1;
inline constexpr int kShutDownBoth = 2;

// An IPv4 address in network byte order (as the proxy protocols carry it) and a port.
struct Ipv4Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;
};

// Each returns 0 or the error, unless it says otherwise.
int OpenStreamSocket(int& handle);
// Binds to any address and a port the system chooses.
int BindToAnyAddress(int handle);
// 0 when connected at once; kSocketWouldBlock while the connection is being made (write
// readiness then tells it ended, and ConnectError how).
int ConnectSocket(int handle, const Ipv4Endpoint& to);
// The error the connection being made ended with; 0 when it was made.
int ConnectError(int handle);
// The bytes received or sent, or -1 with error set.
int ReceiveFromSocket(int handle, void* buffer, int length, int flags, int& error);
int SendToSocket(int handle, const void* buffer, int length, int flags, int& error);
// Whether bytes wait to be read, without taking them or waiting: 1 yes, 0 the peer hung up
// in order, -1 with error set (kSocketWouldBlock when nothing is there yet).
int PeekSocket(int handle, int& error);
int ListenOnSocket(int handle, int backlog);
// A connection waiting on a listening socket, as a new handle.
int AcceptOnSocket(int handle, int& accepted);
int PeerOfSocket(int handle, Ipv4Endpoint& peer);
int ShutDownSocket(int handle, int how);
void CloseSocket(int handle);

// A dotted IPv4 address (network byte order); false when text is not one.
bool ParseIpv4(const QByteArray& text, uint32_t& address);
// A dotted address or a host name, looked up while the caller waits (its first IPv4 address).
bool ResolveIpv4(const QByteArray& host, uint32_t& address);
// The dotted text of an address in network byte order.
QString DottedIpv4(uint32_t address);
