// The proxy reply state machines over arbitrary replies. The first byte chooses the proxy
// type, whether a user name is configured and connect or bind; the reply is read in the pieces asked for.
#include <cstddef>
#include <cstdint>

#include "net/proxy_handshake.h"

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
  while (handshake.AwaitingReply() && at < size) {
    const int wanted = handshake.BytesWanted();
    if (wanted <= 0) __builtin_trap();  // waiting, yet asking for nothing
    const size_t take = std::min(static_cast<size_t>(wanted), size - at);
    const ProxyHandshake::Step step = handshake.Consume(reinterpret_cast<const char*>(data + at), static_cast<int>(take));
    at += take;
    if (settings.type == ProxyHandshake::kHttp11) httpBytes += take;
    const bool over = step.kind == ProxyHandshake::Step::kConnected || step.kind == ProxyHandshake::Step::kAccepted ||
                      step.kind == ProxyHandshake::Step::kFailed;
    // A bind ends in an accept, a connect in a connection.
    if (step.kind == (settings.bind ? ProxyHandshake::Step::kConnected : ProxyHandshake::Step::kAccepted)) {
      __builtin_trap();
    }
    if (over && handshake.InProgress()) __builtin_trap();
    if (step.kind == ProxyHandshake::Step::kFailed && step.code == 0) __builtin_trap();
  }
  if (httpBytes > ProxyHandshake::kMaxHttpReply) __builtin_trap();
  return 0;
}
