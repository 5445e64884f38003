#pragma once

#include <QSettings>
#include <QStringList>

namespace kyv::player {

// The addresses opened last, newest first, kept in the player's settings.
//
// Threads: the UI thread.
class TRecentFiles {
 public:
  explicit TRecentFiles(QSettings& Settings, int Limit = 10);

  QStringList Items() const { return FItems; }
  // Puts Address first (once) and forgets the oldest beyond the limit; saved at once.
  void Add(const QString& Address);
  void Clear();

 private:
  void Save();

  QSettings& FSettings;
  const int FLimit;
  QStringList FItems;
};

}  // namespace kyv::player
