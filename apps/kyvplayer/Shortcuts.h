#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <span>

namespace kyv::player {

// Everything a person can ask of the player window by menu, keyboard or transport bar.
enum class TPlayerAction {
  Open,
  OpenAddress,
  Quit,
  PlayPause,
  Stop,
  FastForward,
  Forward,      // 5 s
  Back,         // 5 s
  ForwardLong,  // 30 s
  BackLong,     // 30 s
  ToStart,
  ToEnd,
  FullScreen,  // the window's own full screen, bars hidden
  Statistics,
  ModeAdaptive,
  ModeOriginal,
  ModeFull,  // the control's full-screen display mode
  About,
};

// One row of the keyboard table: the action, its menu text and its keys.
struct TShortcut {
  TPlayerAction Action;
  QString Text;
  QList<QKeySequence> Keys;
};

// The one table of the player's keys; every action has a row, and no key is in two rows.
std::span<const TShortcut> ShortcutTable();
const TShortcut& ShortcutOf(TPlayerAction Action);

}  // namespace kyv::player
