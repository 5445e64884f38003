#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace kyv::player {

class TPlayerWindow;

// org.mpris.MediaPlayer2.Player over the player window: play, pause, stop, seek, open, and the
// state, position (microseconds) and metadata of the recording. There is no track list: one
// recording at a time, whose track identifier changes with each open.
//
// Threads: the UI thread.
class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  TMprisPlayer(QObject* Service, TPlayerWindow& Window);

  QString PlaybackStatus() const;
  double Rate() const { return 1.0; }
  void SetRate(double) {}
  QVariantMap Metadata() const;
  // The recordings have no sound.
  double Volume() const { return 1.0; }
  void SetVolume(double) {}
  qlonglong Position() const;
  double MinimumRate() const { return 1.0; }
  double MaximumRate() const { return 1.0; }
  bool CanGoNext() const { return false; }
  bool CanGoPrevious() const { return false; }
  bool CanPlay() const;
  bool CanPause() const;
  bool CanSeek() const;
  bool CanControl() const { return true; }

  // The identifier of the recording open now.
  QDBusObjectPath TrackId() const;
  // Each open is a new track.
  void NextTrack() { ++FTrack; }

 public slots:
  void Next() {}
  void Previous() {}
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  void Seek(qlonglong Offset);
  void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
  void OpenUri(const QString& Uri);

 signals:
  void Seeked(qlonglong Position);

 private:
  TPlayerWindow& FWindow;
  int FTrack = 0;
};

}  // namespace kyv::player
