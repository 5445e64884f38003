#pragma once

namespace kyv {

// Makes sure the calling thread may make the control's widgets. In a process without a Qt
// application object it makes one on the calling thread, which then is the thread of every
// control of the process: the X display's platform when DISPLAY names one that answers, else
// the offscreen platform (a platform chosen through QT_QPA_PLATFORM is kept). The application
// lives as long as the process. Raises EKyvError when the application belongs to another thread
// or is not a widget application.
void EnsureControlApplication();

}  // namespace kyv
