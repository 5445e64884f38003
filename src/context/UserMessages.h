#pragma once

#include "platform/Messages.h"

namespace kyv {

// Message numbers of this system. A number means the same request in every queue that uses it.

// Requests to reader threads.
inline constexpr UINT UM_OPEN = WM_USER + 1;
inline constexpr UINT UM_READ = WM_USER + 3;  // wParam: time in ms, or -1 to go on
inline constexpr UINT UM_SEEK = WM_USER + 4;  // wParam: time in ms
inline constexpr UINT UM_STOP = WM_USER + 6;
inline constexpr UINT UM_SEND_TEXT = WM_USER + 16;  // wParam: heap block of text, lParam: length

// Requests to the play thread.
inline constexpr UINT UM_REPLAY = WM_USER + 5;  // wParam: frames-buffer index to continue at
inline constexpr UINT UM_PLAY = WM_USER + 7;
inline constexpr UINT UM_PAUSE = WM_USER + 8;
inline constexpr UINT UM_FASTFORWARD = WM_USER + 9;
inline constexpr UINT UM_REFRESH = WM_USER + 11;
inline constexpr UINT UM_TRIM = WM_USER + 18;

// Requests to the broadcast receiver.
inline constexpr UINT UM_RECEIVE_START = WM_USER + 10;
inline constexpr UINT UM_RECEIVE_STOP = WM_USER + 11;

// Window messages to the control.
inline constexpr UINT UM_OPENED = WM_USER + 2;         // wParam 0: ready
inline constexpr UINT UM_SOURCE_ERROR = WM_USER + 12;  // wParam: reader error code
inline constexpr UINT UM_MARKER = WM_USER + 13;
inline constexpr UINT UM_DIRTY = WM_USER + 14;     // wParam Left<<16|Top, lParam Right<<16|Bottom
inline constexpr UINT UM_POSITION = WM_USER + 15;  // wParam: position in ms
inline constexpr UINT UM_END = WM_USER + 19;
inline constexpr UINT UM_NAIL = WM_USER + 100;        // wParam: TNailRecord, freed by the handler
inline constexpr UINT UM_LOAD_NAILS = WM_USER + 101;  // wParam: heap std::string, a folder
inline constexpr UINT UM_LEAVE_FULLSCREEN = WM_USER + 105;
inline constexpr UINT UM_ENTER_FULLSCREEN = WM_USER + 108;
inline constexpr UINT UM_RELAYOUT = WM_USER + 400;
inline constexpr UINT UM_NAILS_LAYOUT = WM_USER + 401;

}  // namespace kyv
