#include "ui/ControlApplication.h"

#include <dlfcn.h>

#include <QApplication>
#include <QThread>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/Errors.h"

namespace kyv {
namespace {

// A connection to the X display named by DISPLAY, if it answers. It is held until Qt has made its
// own: an X server whose last client leaves resets itself and refuses connections meanwhile.
// The client library is looked up at run time, so that a machine without it has no display.
class TDisplayProbe {
 public:
  TDisplayProbe() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0) return;
    // Kept loaded: the platform plugin uses the same library.
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) return;
    using TConnect = void* (*)(const char*, int*);
    using TError = int (*)(void*);
    const auto connect = reinterpret_cast<TConnect>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<TError>(dlsym(xcb, "xcb_connection_has_error"));
    FDisconnect = reinterpret_cast<TDisconnect>(dlsym(xcb, "xcb_disconnect"));
    if (connect == nullptr || hasError == nullptr || FDisconnect == nullptr) return;
    // A failed connection is an object too, to be given back.
    FConnection = connect(nullptr, nullptr);
    FAnswers = FConnection != nullptr && hasError(FConnection) == 0;
  }
  ~TDisplayProbe() {
    if (FConnection != nullptr) FDisconnect(FConnection);
  }
  TDisplayProbe(const TDisplayProbe&) = delete;
  TDisplayProbe& operator=(const TDisplayProbe&) = delete;

  bool Answers() const noexcept { return FAnswers; }

 private:
  using TDisconnect = void (*)(void*);
  TDisconnect FDisconnect = nullptr;
  void* FConnection = nullptr;
  bool FAnswers = false;
};

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
  std::optional<TDisplayProbe> probe;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    probe.emplace();
    argv[2] = probe->Answers() ? xcb : offscreen;
    argc = 3;
  }
  static QApplication* application = new QApplication(argc, argv);
  (void)application;
}

}  // namespace kyv
