#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace kyv::player {

class TPlayerWindow;

// --screenshot: saves the window as a PNG once the first picture is shown (or After ms after
// the start), then ends the event loop: exit status 0, 1 when the source failed or the file
// cannot be written, 2 when no picture came within the time limit. The first picture is there
// when the source is ready, what the command line asked is done, and the picture and the time
// of the frame shown have stopped changing (or, while playing, a frame has been shown).
//
// Threads: the UI thread.
class TScreenshot : public QObject {
  Q_OBJECT

 public:
  TScreenshot(TPlayerWindow& Window, QString File, std::optional<int32_t> After);

 private:
  void Look();
  void Save(int Status, const QString& Why = {});

  TPlayerWindow& FWindow;
  const QString FFile;
  QTimer FTimer;
  QElapsedTimer FClock;
  QImage FLastPicture;
  int32_t FLastMediaTime = -1;
  int FSteadyLooks = 0;
  bool FSaved = false;
};

}  // namespace kyv::player
