#include "drive/read_offset.h"

#include <cstdlib>

#include "settings/settings_store.h"

namespace {

const QString kSection = QStringLiteral("ReadOffsets");

}  // namespace

int StoredReadOffset(const QString& productName) {
  const int stored = SettingsStore::Instance().ReadInt(kSection, productName.trimmed(), 0);
  return std::abs(stored) <= kMaxReadOffset ? stored : 0;
}

bool StoreReadOffset(const QString& productName, int frames) {
  if (std::abs(frames) > kMaxReadOffset || productName.trimmed().isEmpty()) return false;
  return SettingsStore::Instance().WriteInt(kSection, productName.trimmed(), frames);
}

QString ReadOffsetText(int frames) {
  return frames > 0 ? QStringLiteral("+%1").arg(frames) : QString::number(frames);
}
