#include "TransportBar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolButton>

#include "PlayerTexts.h"

namespace kyv::player {

namespace {

QToolButton* ButtonFor(QAction* Action, QWidget* Parent) {
  auto* button = new QToolButton(Parent);
  button->setDefaultAction(Action);
  button->setAutoRaise(true);
  // The window's keys (Space, arrows) must never be taken by a focused button.
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TTransportBar::TTransportBar(QAction* Open, QAction* PlayPause, QAction* Stop, QAction* FastForward,
                             QWidget* Parent)
    : QWidget(Parent),
      FSlider(new QSlider(Qt::Horizontal, this)),
      FSpeed(new QLabel(this)),
      FClock(new QLabel(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(ButtonFor(Open, this));
  layout->addWidget(ButtonFor(PlayPause, this));
  layout->addWidget(ButtonFor(Stop, this));
  layout->addWidget(ButtonFor(FastForward, this));
  layout->addWidget(FSpeed);
  layout->addWidget(FSlider, 1);
  layout->addWidget(FClock);
  FSlider->setFocusPolicy(Qt::NoFocus);
  FSlider->setRange(0, 0);
  FSlider->setSingleStep(5000);
  FSlider->setPageStep(30000);
  FSpeed->setObjectName("speed");
  FSpeed->hide();
  FClock->setObjectName("clock");
  FClock->setTextInteractionFlags(Qt::NoTextInteraction);
  ShowClock(0);
  connect(FSlider, &QSlider::sliderMoved, this, [this](int Value) {
    ShowClock(Value);
    emit SeekRequested(Value);
  });
  // A click beside the handle moves it by a page: that is a seek as well.
  connect(FSlider, &QSlider::actionTriggered, this, [this](int Action) {
    if (Action == QAbstractSlider::SliderMove || Action == QAbstractSlider::SliderNoAction) return;
    const int value = FSlider->sliderPosition();
    ShowClock(value);
    emit SeekRequested(value);
  });
}

void TTransportBar::SetDuration(int32_t Milliseconds) {
  FDuration = std::max(Milliseconds, 0);
  FSlider->setRange(0, FDuration);
  FSlider->setEnabled(FDuration > 0);
  ShowClock(FSlider->value());
}

void TTransportBar::SetLive(bool Live) {
  FLive = Live;
  ShowClock(FSlider->value());
}

void TTransportBar::SetPosition(int32_t Milliseconds) {
  if (FLive) {
    ShowClock(Milliseconds);
    return;
  }
  if (FSlider->isSliderDown()) return;
  FSlider->setValue(Milliseconds);
  ShowClock(Milliseconds);
}

void TTransportBar::SetSpeed(int Speed) {
  FSpeed->setText(QString("%1x").arg(Speed));
  FSpeed->setVisible(Speed > 1);
}

void TTransportBar::ShowClock(int32_t Position) {
  FClock->setText(QString::fromStdString(player::ClockText(Position, FDuration, FLive)));
}

}  // namespace kyv::player
