#include "ui/PointerRelay.h"

#include <QMouseEvent>
#include <QWidget>

namespace kyv {

int ButtonNumber(int QtButton) noexcept {
  switch (QtButton) {
    case Qt::LeftButton:
      return 0;
    case Qt::RightButton:
      return 1;
    case Qt::MiddleButton:
      return 2;
    default:
      return -1;
  }
}

QPoint TPointerRelay::Place(const QMouseEvent& Event) const {
  const QPoint p = Event.position().toPoint();
  return FOrigin != nullptr && FOrigin != &FWidget ? FWidget.mapTo(FOrigin, p) : p;
}

void TPointerRelay::Press(const QMouseEvent& Event) {
  const int button = ButtonNumber(Event.button());
  if (button < 0) return;
  if (button == 0) FLeftPressed = true;
  const QPoint p = Place(Event);
  if (FEvents.MouseDown) FEvents.MouseDown(button, p.x(), p.y());
}

void TPointerRelay::Move(const QMouseEvent& Event) {
  const QPoint p = Place(Event);
  if (FEvents.MouseMove) FEvents.MouseMove(p.x(), p.y());
}

void TPointerRelay::Release(const QMouseEvent& Event) {
  const int button = ButtonNumber(Event.button());
  if (button < 0) return;
  const QPoint p = Place(Event);
  if (FEvents.MouseUp) FEvents.MouseUp(button, p.x(), p.y());
  const bool click =
      button == 0 && FLeftPressed && FWidget.rect().contains(Event.position().toPoint());
  if (button == 0) FLeftPressed = false;
  if (click && FEvents.Click) FEvents.Click();
}

}  // namespace kyv
