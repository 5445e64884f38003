#pragma once

#include <QLabel>
#include <QSlider>
#include <QWidget>
#include <cstdint>

class QAction;

namespace kyv::player {

// The bar under the picture: open, play/pause, stop and fast forward (the window's actions),
// the speed while scanning, a seek slider over the recording's length and the clock text.
// Dragging the slider asks for seeks as it moves; positions reported meanwhile are ignored.
//
// Threads: the UI thread.
class TTransportBar : public QWidget {
  Q_OBJECT

 public:
  TTransportBar(QAction* Open, QAction* PlayPause, QAction* Stop, QAction* FastForward,
                QWidget* Parent = nullptr);

  void SetDuration(int32_t Milliseconds);
  // A live source has no length: the slider rests and the clock says so.
  void SetLive(bool Live);
  void SetPosition(int32_t Milliseconds);
  // 1 hides the speed.
  void SetSpeed(int Speed);
  QString ClockText() const { return FClock->text(); }
  QSlider* Slider() const { return FSlider; }

 signals:
  void SeekRequested(int32_t Milliseconds);

 private:
  void ShowClock(int32_t Position);

  QSlider* FSlider;
  QLabel* FSpeed;
  QLabel* FClock;
  int32_t FDuration = 0;
  bool FLive = false;
};

}  // namespace kyv::player
