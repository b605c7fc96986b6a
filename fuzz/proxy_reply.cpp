// The proxy reply state machines over arbitrary replies. The first byte chooses the proxy
// type, whether a user name is configured and connect or bind; the reply is read in the pieces
// asked for. Where a bind's proxy listens must be the address and port its reply holds.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "net/proxy_handshake.h"

namespace {

// The listening address and port a bind's first reply carries: SOCKS 4 has the port in
// bytes 2 and 3 and the address in 4 to 7; SOCKS 5 ends in the port, after an IPv4 address
// in bytes 4 to 7 or a name or IPv6 address that gives none (0).
bool IsListeningPlace(const ProxyHandshake::Step& step, const QByteArray& reply, int type) {
  const bool socks5 = type == ProxyHandshake::kSocks5;
  if (reply.size() < (socks5 ? 7 : 8)) return false;
  const qsizetype portAt = socks5 ? reply.size() - 2 : 2;
  const uint16_t port =
      static_cast<uint16_t>((uint8_t(reply[portAt]) << 8) | uint8_t(reply[portAt + 1]));
  uint32_t address = 0;
  if (!socks5 || reply[3] == 0x01) std::memcpy(&address, reply.constData() + 4, 4);
  return step.port == port && step.address == address;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ProxyHandshake::Settings settings;
  settings.type = data[0] % 4 + 1;
  settings.useAuthentication = (data[0] & 0x10) != 0;
  settings.bind = (data[0] & 0x40) != 0 && settings.type != ProxyHandshake::kHttp11;  // SOCKS only
  settings.user = "user";
  settings.password = "password";
  settings.targetPort = 8880;
  if (data[0] & 0x20) {
    settings.targetName = "cddb.example";
  } else {
    settings.targetAddress = 0x0100007f;
  }
  ProxyHandshake handshake;
  handshake.Start(settings);
  if (handshake.OpeningRequest().isEmpty()) __builtin_trap();
  handshake.OpeningSent();
  size_t at = 1;
  size_t httpBytes = 0;
  QByteArray reply;  // the reply read so far
  while (handshake.AwaitingReply() && at < size) {
    const int wanted = handshake.BytesWanted();
    if (wanted <= 0) __builtin_trap();  // waiting, yet asking for nothing
    const size_t take = std::min(static_cast<size_t>(wanted), size - at);
    const ProxyHandshake::Step step =
        handshake.Consume(reinterpret_cast<const char*>(data + at), static_cast<int>(take));
    reply.append(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(take));
    at += take;
    if (settings.type == ProxyHandshake::kHttp11) httpBytes += take;
    const bool over = step.kind == ProxyHandshake::Step::kConnected ||
                      step.kind == ProxyHandshake::Step::kAccepted ||
                      step.kind == ProxyHandshake::Step::kFailed;
    // A bind ends in an accept, a connect in a connection.
    if (step.kind ==
        (settings.bind ? ProxyHandshake::Step::kConnected : ProxyHandshake::Step::kAccepted)) {
      __builtin_trap();
    }
    if (over && handshake.InProgress()) __builtin_trap();
    if (step.kind == ProxyHandshake::Step::kFailed && step.code == 0) __builtin_trap();
    if (step.kind == ProxyHandshake::Step::kListening &&
        !IsListeningPlace(step, reply, settings.type)) {
      __builtin_trap();
    }
    if (step.kind != ProxyHandshake::Step::kNeedMore) reply.clear();
  }
  if (httpBytes > ProxyHandshake::kMaxHttpReply) __builtin_trap();
  return 0;
}
