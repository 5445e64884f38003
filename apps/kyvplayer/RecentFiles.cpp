#include "RecentFiles.h"

namespace kyv::player {

namespace {
constexpr char kKey[] = "recent/addresses";
}

TRecentFiles::TRecentFiles(QSettings& Settings, int Limit)
    : FSettings(Settings), FLimit(Limit), FItems(Settings.value(kKey).toStringList()) {
  FItems.removeAll(QString());
  FItems.removeDuplicates();
  while (FItems.size() > FLimit) FItems.removeLast();
}

void TRecentFiles::Add(const QString& Address) {
  if (Address.trimmed().isEmpty()) return;
  FItems.removeAll(Address);
  FItems.prepend(Address);
  while (FItems.size() > FLimit) FItems.removeLast();
  Save();
}

void TRecentFiles::Clear() {
  FItems.clear();
  Save();
}

void TRecentFiles::Save() {
  FSettings.setValue(kKey, FItems);
  FSettings.sync();
}

}  // namespace kyv::player
