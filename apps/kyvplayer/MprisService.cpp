#include "MprisService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaProperty>

#include "MprisPlayer.h"
#include "MprisRoot.h"
#include "PlayerWindow.h"

namespace kyv::player {

namespace {
constexpr char kPath[] = "/org/mpris/MediaPlayer2";
constexpr char kName[] = "org.mpris.MediaPlayer2.kyvplayer";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
}  // namespace

TMprisService::TMprisService(TPlayerWindow& Window)
    : FWindow(Window), FPlayer(new TMprisPlayer(this, Window)) {
  new TMprisRoot(this, Window);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    FFailure = "no session bus: " + bus.lastError().message();
    return;
  }
  if (!bus.registerObject(kPath, this)) {
    FFailure = "cannot register " + QString(kPath) + ": " + bus.lastError().message();
    return;
  }
  QString name = kName;
  if (!bus.registerService(name)) {
    name += QString(".instance%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerService(name)) {
      FFailure = "cannot own " + name + ": " + bus.lastError().message();
      bus.unregisterObject(kPath);
      return;
    }
  }
  FName = name;

  connect(&FWindow, &TPlayerWindow::StateChanged, this, [this] {
    AnnounceChanges({"PlaybackStatus", "CanPlay", "CanPause", "CanSeek"});
  });
  connect(&FWindow, &TPlayerWindow::MetadataChanged, this, [this] {
    FPlayer->NextTrack();
    AnnounceChanges({"Metadata", "CanPlay", "CanSeek"});
  });
  connect(&FWindow, &TPlayerWindow::Seeked, FPlayer,
          [this](int32_t Ms) { emit FPlayer->Seeked(qlonglong{Ms} * 1000); });
}

TMprisService::~TMprisService() {
  if (FName.isEmpty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(FName);
  bus.unregisterObject(kPath);
}

void TMprisService::AnnounceChanges(const QStringList& Properties) {
  QVariantMap changed;
  const QMetaObject* meta = FPlayer->metaObject();
  for (const QString& name : Properties) {
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index >= 0) changed[name] = meta->property(index).read(FPlayer);
  }
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
  signal << QString(kPlayerInterface) << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace kyv::player
