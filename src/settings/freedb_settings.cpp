#include "settings/freedb_settings.h"

#include "settings/settings_store.h"

FreeDbSettings::FreeDbSettings()
    : IniFile(SettingsStore::kFileName),
      server_(ReadText(Key::FdServer)),
      accessMethod_(FromStored<FreeDbAccess>(ReadInt(Key::FdAccessMethod))),
      proxyType_(FromStored<ProxyKind>(ReadInt(Key::FdProxyType))),
      proxyServer_(ReadText(Key::FdProxyServer)),
      userName_(ReadText(Key::FdUserName)),
      password_(ReadText(Key::FdPassword)),
      email_(ReadText(Key::FdEmail)) {}
