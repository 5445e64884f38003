#include "MprisPlayer.h"

#include <QUrl>

#include "PlayerTexts.h"
#include "PlayerWindow.h"

namespace kyv::player {

TMprisPlayer::TMprisPlayer(QObject* Service, TPlayerWindow& Window)
    : QDBusAbstractAdaptor(Service), FWindow(Window) {}

QString TMprisPlayer::PlaybackStatus() const {
  return QString::fromStdString(PlaybackStatusText(FWindow.Status()));
}

QVariantMap TMprisPlayer::Metadata() const {
  QVariantMap map;
  if (FWindow.Address().isEmpty()) return map;
  map["mpris:trackid"] = QVariant::fromValue(TrackId());
  map["mpris:length"] = qlonglong{FWindow.Duration()} * 1000;
  map["xesam:title"] = FWindow.Title();
  const QString address = FWindow.Address();
  // Every program on the session bus reads this: no user name or password in it.
  map["xesam:url"] = address.startsWith('/')
                         ? QUrl::fromLocalFile(address).toString(QUrl::FullyEncoded)
                         : QUrl(address).adjusted(QUrl::RemoveUserInfo).toString();
  return map;
}

qlonglong TMprisPlayer::Position() const {
  return qlonglong{FWindow.Position()} * 1000;
}

bool TMprisPlayer::CanPlay() const {
  return !FWindow.Address().isEmpty();
}
bool TMprisPlayer::CanPause() const {
  return FWindow.Status() != vpClosed;
}
bool TMprisPlayer::CanSeek() const {
  return FWindow.Duration() > 0;
}

QDBusObjectPath TMprisPlayer::TrackId() const {
  return QDBusObjectPath(QString("/org/kyvplayer/track/%1").arg(FTrack));
}

void TMprisPlayer::Pause() {
  FWindow.Pause();
}
void TMprisPlayer::PlayPause() {
  FWindow.PlayPause();
}
void TMprisPlayer::Stop() {
  FWindow.Stop();
}
void TMprisPlayer::Play() {
  FWindow.Play();
}

void TMprisPlayer::Seek(qlonglong Offset) {
  FWindow.SeekBy(Offset / 1000);
}

void TMprisPlayer::SetPosition(const QDBusObjectPath& Track, qlonglong Position) {
  // A position for another track is stale: the interface asks to ignore it.
  if (Track != TrackId() || Position < 0) return;
  if (FWindow.Duration() > 0 && Position / 1000 > FWindow.Duration()) return;
  FWindow.SeekTo(Position / 1000);
}

void TMprisPlayer::OpenUri(const QString& Uri) {
  const QUrl url(Uri);
  FWindow.OpenAddress(url.isLocalFile() ? url.toLocalFile() : Uri);
}

}  // namespace kyv::player
