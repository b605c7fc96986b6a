#pragma once
#include <QTimer>

#include "metadata/cddb_protocol.h"
#include "metadata/freedb_client.h"
#include "net/async_socket.h"
#include "net/proxy_layer.h"

// The freedb client over the CDDB line protocol on TCP, optionally through a proxy. The
// exchange runs on the calling thread's event loop: greeting, hello, "proto 6" (or "proto 5"
// when the server refuses level 6), query, the read of the first match and "quit".
class FreeDbTcpClient : public FreeDbClient, public CAsyncSocketEx {
 public:
  // Waiting for: the greeting, the hello's answer, the query's answer, the entry, the
  // answer to "proto", and the connection itself.
  enum State {
    kGreeting = 0,
    kHelloAnswer = 1,
    kQueryAnswer = 2,
    kEntry = 3,
    kProtoAnswer = 4,
    kConnecting = 5
  };
  // Longest proxy host, user name or password passed to the proxy layer.
  static constexpr int kMaxSettingBytes = 511;
  static constexpr int kPreferredProtoLevel = 6;
  static constexpr int kFallbackProtoLevel = 5;

  FreeDbTcpClient();
  ~FreeDbTcpClient() override;

 protected:
  bool Setup() override;
  bool Connect() override;
  void OnFinished() override;

  void OnConnect(int error) override;
  void OnReceive(int error) override;
  void OnClose(int error) override;
  int OnLayerStatus(SocketLayer* layer, const LayerStatus& status) override;

 private:
  void ReadEntry() override;
  void HandleAnswer(const QByteArray& answer);
  void SendText(const QString& text);
  void SendProto();
  void WaitForAnswer(int ms);

  ProxyLayer proxy_;
  Cddb::AnswerReader reader_;
  QTimer timer_;
  int state_ = kConnecting;
  int protoLevel_ = kPreferredProtoLevel;
};
