#pragma once
#include <QByteArray>
#include <QString>
#include <cstdint>

// The bytes of a proxy negotiation, without the socket: the opening request, what to read
// next, and what each piece of the proxy's reply means. ProxyLayer drives it.
class ProxyHandshake {
 public:
  enum Type { kNone = 0, kSocks4 = 1, kSocks4a = 2, kSocks5 = 3, kHttp11 = 4 };
  // Proxy status codes reported to the socket.
  enum Code {
    kCannotConnect = 1,
    kRequestFailed = 2,
    kAuthTypeUnsupported = 4,
    kAuthFailed = 5,
    kAuthRequired = 6,
    kCannotResolveTarget = 7,
    kListening = 8,
  };
  // An HTTP proxy's reply longer than this without its empty line is refused.
  static constexpr int kMaxHttpReply = 16 * 1024;
  static constexpr char kNoValidHttpReply[] = "No valid HTTP reponse";

  struct Settings {
    int type = kNone;
    // SOCKS only: ask the proxy to listen for a connection from the target (bind) instead
    // of connecting to it.
    bool bind = false;
    uint32_t targetAddress = 0;  // network byte order; 0 when only the name is known
    uint16_t targetPort = 0;     // host byte order
    QByteArray targetName;       // Windows-1252
    bool useAuthentication = false;
    QByteArray user;
    QByteArray password;
  };

  struct Step {
    // kListening: a bind's proxy listens (more follows); kAccepted: the target connected.
    enum Kind { kNeedMore, kSend, kConnected, kListening, kAccepted, kFailed };
    Kind kind = kNeedMore;
    QByteArray bytes;  // kSend: the next request
    int code = 0;      // kFailed
    QString text;      // kFailed with code 2: the HTTP status line or kNoValidHttpReply
    // kListening: where the proxy listens, network byte order; address 0 means the
    // proxy's own address. A SOCKS 5 proxy may name an IPv6 address (16 bytes) or a host
    // name instead.
    uint32_t address = 0;
    QByteArray address6;
    QByteArray hostName;
    uint16_t port = 0;
  };

  void Start(const Settings& settings);
  void Reset();
  bool InProgress() const { return inProgress_; }

  QByteArray OpeningRequest() const;
  void OpeningSent() { step_ = 1; }
  bool AwaitingReply() const { return inProgress_ && step_ > 0; }

  // How many bytes to read for the next Consume.
  int BytesWanted() const;
  // Takes bytes just read (at most BytesWanted) and says what follows.
  Step Consume(const char* data, int length);

 private:
  Step ConsumeSocks4();
  Step ConsumeSocks5();
  Step ConsumeHttp();
  QByteArray Socks5ConnectRequest() const;
  Step Fail(int code, const QString& text = QString());
  // The end of a reply: the tunnel is open, or for a bind the next reply is awaited.
  Step Granted();

  // SOCKS 5 address forms.
  static constexpr char kSocks5Ipv4 = 0x01;
  static constexpr char kSocks5Ipv6 = 0x04;

  Settings settings_;
  bool inProgress_ = false;
  int step_ = 0;
  int expected_ = 0;
  QByteArray reply_;
};
