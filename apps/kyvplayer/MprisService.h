#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace kyv::player {

class TPlayerWindow;
class TMprisPlayer;

// The player on the session bus as a desktop media player (MPRIS 2): the object
// /org/mpris/MediaPlayer2 with its two interfaces, under the name
// org.mpris.MediaPlayer2.kyvplayer (with ".instance<pid>" when another player has it), and the
// property changes the desktop listens to.
//
// Threads: the UI thread.
class TMprisService : public QObject {
  Q_OBJECT

 public:
  explicit TMprisService(TPlayerWindow& Window);
  ~TMprisService() override;

  // False, with the reason, when there is no session bus or the name cannot be had.
  bool Registered() const noexcept { return !FName.isEmpty(); }
  QString Name() const { return FName; }
  QString Failure() const { return FFailure; }

 private:
  void AnnounceChanges(const QStringList& Properties);

  TPlayerWindow& FWindow;
  TMprisPlayer* FPlayer;
  QString FName;
  QString FFailure;
};

}  // namespace kyv::player
