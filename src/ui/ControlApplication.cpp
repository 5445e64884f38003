#include "ui/ControlApplication.h"

#include <dlfcn.h>

#include <QApplication>
#include <QThread>
#include <cstdlib>
#include <mutex>

#include "platform/Errors.h"

namespace kyv {
namespace {

// Whether the X display answers. The client library is looked up at run time, so that a
// machine without it simply has no display.
bool DisplayAnswers() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == 0) return false;
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return false;
  using TConnect = void* (*)(const char*, int*);
  using TError = int (*)(void*);
  using TDisconnect = void (*)(void*);
  const auto connect = reinterpret_cast<TConnect>(dlsym(xcb, "xcb_connect"));
  const auto hasError = reinterpret_cast<TError>(dlsym(xcb, "xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<TDisconnect>(dlsym(xcb, "xcb_disconnect"));
  bool answers = false;
  if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
    // A failed connection is an object too, to be given back.
    void* connection = connect(nullptr, nullptr);
    answers = connection != nullptr && hasError(connection) == 0;
    if (connection != nullptr) disconnect(connection);
  }
  // Kept loaded: unloaded here, it leaves the platform plugin unable to connect.
  return answers;
}

}  // namespace

void EnsureControlApplication() {
  // Two threads asking at once: the second finds the first one's application.
  static std::mutex lock;
  const std::lock_guard guard(lock);
  if (const QCoreApplication* existing = QCoreApplication::instance()) {
    if (existing->thread() != QThread::currentThread())
      throw EKyvError(
          "The control must be created on the thread of the Qt application of the process");
    if (qobject_cast<const QApplication*>(existing) == nullptr)
      throw EKyvError("The control needs a Qt widget application (QApplication)");
    return;
  }
  // The arguments must outlive the application, which lives as long as the process.
  static char name[] = "kyvplayer";
  static char option[] = "-platform";
  static char xcb[] = "xcb";
  static char offscreen[] = "offscreen";
  static char* argv[] = {name, option, nullptr, nullptr};
  static int argc = 1;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    argv[2] = DisplayAnswers() ? xcb : offscreen;
    argc = 3;
  }
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace kyv
