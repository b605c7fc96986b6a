#include "net/proxy_handshake.h"

#include <cstring>

#include "net/base64.h"

namespace {

void AppendPort(QByteArray& out, uint16_t port) {
  out.append(static_cast<char>(port >> 8));
  out.append(static_cast<char>(port & 0xFF));
}

void AppendAddress(QByteArray& out, uint32_t networkOrder) {
  out.append(reinterpret_cast<const char*>(&networkOrder), 4);
}

QByteArray DottedAddress(uint32_t networkOrder) {
  const auto* b = reinterpret_cast<const unsigned char*>(&networkOrder);
  return QByteArray::number(b[0]) + '.' + QByteArray::number(b[1]) + '.' +
         QByteArray::number(b[2]) + '.' + QByteArray::number(b[3]);
}

QByteArray LengthPrefixed(const QByteArray& text) {
  const QByteArray cut = text.left(255);
  return char(cut.size()) + cut;
}

}  // namespace

void ProxyHandshake::Start(const Settings& settings) {
  settings_ = settings;
  inProgress_ = true;
  step_ = 0;
  expected_ = 0;
  reply_.clear();
}

void ProxyHandshake::Reset() {
  inProgress_ = false;
  step_ = 0;
  expected_ = 0;
  reply_.clear();
}

ProxyHandshake::Step ProxyHandshake::Fail(int code, const QString& text) {
  Reset();
  Step step;
  step.kind = Step::kFailed;
  step.code = code;
  step.text = text;
  return step;
}

QByteArray ProxyHandshake::OpeningRequest() const {
  QByteArray out;
  switch (settings_.type) {
    case kSocks4:
    case kSocks4a:
      out.append('\x04').append(settings_.bind ? '\x02' : '\x01');
      AppendPort(out, settings_.targetPort);
      if (settings_.targetAddress != 0) {
        AppendAddress(out, settings_.targetAddress);
        out.append('\0');
      } else {
        // 0.0.0.1: the proxy resolves the name that follows the empty user identifier.
        out.append("\x00\x00\x00\x01\x00", 5).append(settings_.targetName).append('\0');
      }
      return out;
    case kSocks5:
      return settings_.useAuthentication ? QByteArray("\x05\x02\x02\x00", 4)
                                         : QByteArray("\x05\x01\x00", 3);
    case kHttp11: {
      const QByteArray host = settings_.targetName.isEmpty()
                                  ? DottedAddress(settings_.targetAddress)
                                  : settings_.targetName;
      const QByteArray hostPort = host + ':' + QByteArray::number(settings_.targetPort);
      out = "CONNECT " + hostPort + " HTTP/1.1\r\nHost: " + hostPort + "\r\n";
      if (settings_.useAuthentication) {
        // One unbroken line: a line break inside the credentials would end the header.
        const QByteArray credentials =
            Base64Encoder::EncodeLine(settings_.user + ':' + settings_.password);
        out += "Authorization: Basic " + credentials + "\r\nProxy-Authorization: Basic " +
               credentials + "\r\n";
      }
      return out + "\r\n";
    }
    default: return out;
  }
}

QByteArray ProxyHandshake::Socks5ConnectRequest() const {
  QByteArray out("\x05\x01\x00", 3);
  if (settings_.bind) out[1] = '\x02';
  if (settings_.targetAddress != 0) {
    out.append('\x01');
    AppendAddress(out, settings_.targetAddress);
  } else {
    out.append('\x03').append(LengthPrefixed(settings_.targetName));
  }
  AppendPort(out, settings_.targetPort);
  return out;
}

int ProxyHandshake::BytesWanted() const {
  if (!AwaitingReply()) return 0;
  switch (settings_.type) {
    case kSocks4:
    case kSocks4a: return 8 - reply_.size();
    case kSocks5: {
      // The answers to the connect or bind request (steps 3 and 4) are as long as their
      // address form makes them; the first five bytes tell.
      const bool addressed = step_ == 3 || step_ == 4;
      if (!addressed || reply_.size() < 5) return (addressed ? 5 : 2) - reply_.size();
      return expected_ - reply_.size();
    }
    case kHttp11: return reply_.isEmpty() ? 8 : 1;
    default: return 0;
  }
}

ProxyHandshake::Step ProxyHandshake::Consume(const char* data, int length) {
  if (!AwaitingReply() || length <= 0) return {};
  reply_.append(data, length);
  switch (settings_.type) {
    case kSocks4:
    case kSocks4a: return ConsumeSocks4();
    case kSocks5: return ConsumeSocks5();
    case kHttp11: return ConsumeHttp();
    default: return {};
  }
}

ProxyHandshake::Step ProxyHandshake::Granted() {
  Step step;
  if (!settings_.bind || step_ == 2 || step_ == 4) {
    Reset();
    step.kind = settings_.bind ? Step::kAccepted : Step::kConnected;
    return step;
  }
  // A bind's first reply says where the proxy listens. SOCKS 4: port in bytes 2 and 3,
  // address in 4 to 7. SOCKS 5: the address from byte 4 in the form byte 3 names, then
  // the port.
  step.kind = Step::kListening;
  int portAt = 2;
  if (settings_.type != kSocks5 || reply_[3] == kSocks5Ipv4) {
    std::memcpy(&step.address, reply_.constData() + 4, 4);
    if (settings_.type == kSocks5) portAt = 8;
  } else if (reply_[3] == kSocks5Ipv6) {
    step.address6 = reply_.mid(4, 16);
    portAt = 20;
  } else {
    const int length = static_cast<unsigned char>(reply_[4]);
    step.hostName = reply_.mid(5, length);
    portAt = 5 + length;
  }
  step.port = static_cast<uint16_t>((static_cast<unsigned char>(reply_[portAt]) << 8) |
                                    static_cast<unsigned char>(reply_[portAt + 1]));
  step_ = settings_.type == kSocks5 ? 4 : 2;
  reply_.clear();
  return step;
}

ProxyHandshake::Step ProxyHandshake::ConsumeSocks4() {
  if (reply_.size() < 8) return {};
  if (reply_[0] != 0 || static_cast<unsigned char>(reply_[1]) != 90) return Fail(kRequestFailed);
  return Granted();
}

ProxyHandshake::Step ProxyHandshake::ConsumeSocks5() {
  Step next;
  if (step_ == 1) {  // method choice
    if (reply_.size() < 2) return {};
    if (reply_[0] != 5) return Fail(kRequestFailed);
    const unsigned char method = reply_[1];
    reply_.clear();
    next.kind = Step::kSend;
    if (method == 0x00) {
      next.bytes = Socks5ConnectRequest();
      step_ = 3;
    } else if (method == 0x02 && settings_.useAuthentication) {
      next.bytes = '\x01' + LengthPrefixed(settings_.user) + LengthPrefixed(settings_.password);
      step_ = 2;
    } else {
      return Fail(method == 0x02 ? kAuthRequired : kAuthTypeUnsupported);
    }
    return next;
  }
  if (step_ == 2) {  // user name and password answer
    if (reply_.size() < 2) return {};
    if (reply_[1] != 0) return Fail(kAuthFailed);
    reply_.clear();
    next.kind = Step::kSend;
    next.bytes = Socks5ConnectRequest();
    step_ = 3;
    return next;
  }
  // The answer to the request (step 3), or a bind's second answer when the target
  // connected (step 4): its length depends on the address form in byte 3.
  if (reply_.size() < 5) return {};
  if (reply_.size() == 5) {
    if (step_ == 3 && (reply_[0] != 5 || reply_[1] != 0)) return Fail(kRequestFailed);
    const char form = reply_[3];
    expected_ = form == kSocks5Ipv4   ? 10
                : form == kSocks5Ipv6 ? 22
                                      : static_cast<unsigned char>(reply_[4]) + 7;
  }
  if (reply_.size() < expected_) return {};
  if (reply_[1] != 0) return Fail(kRequestFailed);
  return Granted();
}

ProxyHandshake::Step ProxyHandshake::ConsumeHttp() {
  static const QByteArray kPrefix("HTTP/");
  if (reply_.left(5) != kPrefix.left(std::min<qsizetype>(reply_.size(), 5))) {
    return Fail(kRequestFailed, QString::fromLatin1(kNoValidHttpReply));
  }
  const qsizetype lineEnd = reply_.indexOf("\r\n");
  if (lineEnd >= 0) {
    const qsizetype space = reply_.indexOf(' ');
    if (space < 0 || space > lineEnd || space + 1 >= reply_.size() || reply_[space + 1] != '2') {
      return Fail(kRequestFailed, QString::fromLatin1(reply_.left(lineEnd)));
    }
  }
  if (reply_.size() > 3 && reply_.endsWith("\r\n\r\n")) {
    Reset();
    Step done;
    done.kind = Step::kConnected;
    return done;
  }
  if (reply_.size() >= kMaxHttpReply) return Fail(kRequestFailed);
  return {};
}
