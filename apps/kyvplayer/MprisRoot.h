#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace kyv::player {

class TPlayerWindow;

// org.mpris.MediaPlayer2: who the player is, raising and quitting it.
//
// Threads: the UI thread (the session bus delivers calls through the event loop).
class TMprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  TMprisRoot(QObject* Service, TPlayerWindow& Window);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return "KyvPlayer"; }
  QString DesktopEntry() const { return "kyvplayer"; }
  QStringList SupportedUriSchemes() const { return {"file", "http", "https", "ftp", "kyvs"}; }
  QStringList SupportedMimeTypes() const { return {"video/x-kyv"}; }

 public slots:
  void Raise();
  void Quit();

 private:
  TPlayerWindow& FWindow;
};

}  // namespace kyv::player
