#pragma once
#include <QString>

#include "settings/ini_file.h"

// A short-lived reader of the "FreeDBSettings" section for the freedb options page and the
// lookup client. The text and method values are read once, at construction; the ports on
// demand. Writes go through SettingsStore.
class FreeDbSettings : public IniFile {
 public:
  FreeDbSettings();

  QString Server() const { return server_; }
  FreeDbAccess AccessMethod() const { return accessMethod_; }
  ProxyKind ProxyType() const { return proxyType_; }
  QString ProxyServer() const { return proxyServer_; }
  QString UserName() const { return userName_; }
  QString Password() const { return password_; }
  QString Email() const { return email_; }
  int TcpPort() const { return ReadInt(Key::FdTCPPort); }
  int HttpPort() const { return ReadInt(Key::FdHTTPPort); }
  int ProxyPort() const { return ReadInt(Key::FdProxyPort); }

 private:
  QString server_;
  FreeDbAccess accessMethod_;
  ProxyKind proxyType_;
  QString proxyServer_;
  QString userName_;
  QString password_;
  QString email_;
};
