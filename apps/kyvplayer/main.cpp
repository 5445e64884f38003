// kyvplayer: the desktop player. Makes the control through the component runtime, places its
// picture in a window with a transport bar and menus, and offers itself to the desktop's media
// keys on the session bus.
#include <QApplication>
#include <QSettings>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "CommandLine.h"
#include "ControlLink.h"
#include "MprisService.h"
#include "PlayerWindow.h"
#include "Screenshot.h"

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kyv::player;
  TPlayerOptions options;
  try {
    options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const EUsageError& e) {
    std::cerr << "kyvplayer: " << e.what() << "\n" << UsageText();
    return 2;
  }
  if (options.Help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.Version) {
    std::cout << "kyvplayer " << KYV_VERSION << '\n';
    return 0;
  }
  if (!HasDisplay()) {
    std::cerr << "kyvplayer: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not "
                 "set); kyvtool play plays without one\n";
    return 1;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName("kyvplayer");
  QApplication::setOrganizationName("KyvPlayer");
  QApplication::setApplicationVersion(KYV_VERSION);
  QApplication::setDesktopFileName("kyvplayer");

  std::unique_ptr<TControlLink> link;
  try {
    link = std::make_unique<TControlLink>(std::cerr);
  } catch (const EControlError& e) {
    std::cerr << "kyvplayer: " << e.what() << '\n';
    return 1;
  }
  int status = 0;
  {
    QSettings settings;
    TPlayerWindow window(*link, settings);
    TMprisService mpris(window);
    if (!mpris.Registered())
      std::cerr << "kyvplayer: media keys are not available: " << mpris.Failure().toStdString()
                << '\n';
    window.show();
    window.Start(options);
    std::unique_ptr<TScreenshot> screenshot;
    if (!options.Screenshot.empty())
      screenshot = std::make_unique<TScreenshot>(window, QString::fromStdString(options.Screenshot),
                                                 options.After);
    status = QApplication::exec();
  }
  link.reset();
  return status;
}
