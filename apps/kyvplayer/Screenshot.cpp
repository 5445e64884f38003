#include "Screenshot.h"

#include <QCoreApplication>
#include <iostream>

#include "PlayerWindow.h"

namespace kyv::player {

namespace {
constexpr int kLookMs = 50;
constexpr int kSteadyLooks = 4;
constexpr qint64 kLimitMs = 30000;
}  // namespace

TScreenshot::TScreenshot(TPlayerWindow& Window, QString File, std::optional<int32_t> After)
    : FWindow(Window), FFile(std::move(File)) {
  FClock.start();
  if (After) {
    QTimer::singleShot(*After, this, [this] { Save(FWindow.Failure().isEmpty() ? 0 : 1); });
    return;
  }
  connect(&FTimer, &QTimer::timeout, this, &TScreenshot::Look);
  FTimer.start(kLookMs);
}

void TScreenshot::Look() {
  if (!FWindow.Failure().isEmpty()) return Save(1);
  if (FClock.elapsed() > kLimitMs) return Save(2, "no picture within 30 s");
  if (FWindow.Address().isEmpty()) {
    if (++FSteadyLooks >= 2) Save(0);
    return;
  }
  const TStatus status = FWindow.Status();
  const bool ready = status == vpOpened || status == vpPlaying || status == vpPaused ||
                     status == vpStopped || status == vpScanForward;
  if (!ready || FWindow.Starting()) return;
  int32_t mediaTime = 0;
  try {
    mediaTime = FWindow.Link().MediaTime();
  } catch (const EControlError&) {
    return;
  }
  if (status == vpPlaying || status == vpScanForward) {
    if (FLastMediaTime >= 0 && mediaTime != FLastMediaTime) return Save(0);
    FLastMediaTime = mediaTime;
    return;
  }
  const QImage picture =
      FWindow.ControlWidget() ? FWindow.ControlWidget()->grab().toImage() : QImage();
  const bool steady = mediaTime == FLastMediaTime && picture == FLastPicture;
  FSteadyLooks = steady ? FSteadyLooks + 1 : 0;
  FLastMediaTime = mediaTime;
  FLastPicture = picture;
  if (FSteadyLooks >= kSteadyLooks) Save(0);
}

void TScreenshot::Save(int Status, const QString& Why) {
  if (FSaved) return;
  FSaved = true;
  FTimer.stop();
  if (!Why.isEmpty()) std::cerr << "kyvplayer: " << Why.toStdString() << std::endl;
  if (!FWindow.grab().save(FFile, "PNG")) {
    std::cerr << "kyvplayer: cannot write " << FFile.toStdString() << std::endl;
    Status = 1;
  }
  QCoreApplication::exit(Status);
}

}  // namespace kyv::player
