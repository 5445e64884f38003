#include "MprisRoot.h"

#include "PlayerWindow.h"

namespace kyv::player {

TMprisRoot::TMprisRoot(QObject* Service, TPlayerWindow& Window)
    : QDBusAbstractAdaptor(Service), FWindow(Window) {}

void TMprisRoot::Raise() {
  FWindow.showNormal();
  FWindow.raise();
  FWindow.activateWindow();
}

void TMprisRoot::Quit() {
  FWindow.close();
}

}  // namespace kyv::player
