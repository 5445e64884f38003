#pragma once

#include <functional>

#include <QPoint>

class QMouseEvent;
class QWidget;

namespace kyv {

// What the views tell the control about the pointer. Buttons are 0 left, 1 right, 2 middle;
// coordinates are those of the widget under the pointer, in display pixels.
struct TPointerEvents {
  std::function<void(int Button, int X, int Y)> MouseDown;
  std::function<void(int X, int Y)> MouseMove;
  std::function<void(int Button, int X, int Y)> MouseUp;
  std::function<void()> Click;
};

// Turns one widget's mouse events into TPointerEvents. A click is a left press and release on the
// same widget with the pointer still inside it. Coordinates are mapped to Origin (the widget
// whose coordinates the host sees) when one is given.
//
// UI thread.
class TPointerRelay {
 public:
  TPointerRelay(const TPointerEvents& Events, QWidget& Widget, const QWidget* Origin = nullptr)
      : FEvents(Events), FWidget(Widget), FOrigin(Origin) {}

  void Press(const QMouseEvent& Event);
  void Move(const QMouseEvent& Event);
  void Release(const QMouseEvent& Event);

 private:
  QPoint Place(const QMouseEvent& Event) const;

  const TPointerEvents& FEvents;  // the owner's, living as long as the widget
  QWidget& FWidget;
  const QWidget* FOrigin;
  bool FLeftPressed = false;
};

// 0 left, 1 right, 2 middle; -1 for any other button.
int ButtonNumber(int QtButton) noexcept;

}  // namespace kyv
