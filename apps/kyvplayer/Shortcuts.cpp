#include "Shortcuts.h"

#include <stdexcept>
#include <vector>

namespace kyv::player {

namespace {

std::vector<TShortcut> MakeTable() {
  using A = TPlayerAction;
  using K = QKeySequence;
  return {
      {A::Open, "&Open...", {K(Qt::CTRL | Qt::Key_O)}},
      {A::OpenAddress, "Open &address...", {K(Qt::CTRL | Qt::Key_L)}},
      {A::Quit, "&Quit", {K(Qt::CTRL | Qt::Key_Q)}},
      {A::PlayPause, "&Play/Pause", {K(Qt::Key_Space), K(Qt::Key_MediaTogglePlayPause)}},
      {A::Stop, "&Stop", {K(Qt::Key_S), K(Qt::Key_MediaStop)}},
      {A::FastForward, "&Fast forward", {K(Qt::Key_Plus)}},
      {A::Forward, "Forward 5 s", {K(Qt::Key_Right)}},
      {A::Back, "Back 5 s", {K(Qt::Key_Left)}},
      {A::ForwardLong, "Forward 30 s", {K(Qt::SHIFT | Qt::Key_Right)}},
      {A::BackLong, "Back 30 s", {K(Qt::SHIFT | Qt::Key_Left)}},
      {A::ToStart, "To the start", {K(Qt::Key_Home)}},
      {A::ToEnd, "To the end", {K(Qt::Key_End)}},
      {A::FullScreen, "F&ull screen", {K(Qt::Key_F)}},
      {A::Statistics, "S&tatistics", {K(Qt::CTRL | Qt::Key_I)}},
      {A::ModeAdaptive, "Fit the &window", {K(Qt::Key_1)}},
      {A::ModeOriginal, "&Original size", {K(Qt::Key_2)}},
      {A::ModeFull, "&Full screen display mode", {K(Qt::Key_3)}},
      {A::About, "&About", {}},
  };
}

}  // namespace

std::span<const TShortcut> ShortcutTable() {
  static const std::vector<TShortcut> table = MakeTable();
  return table;
}

const TShortcut& ShortcutOf(TPlayerAction Action) {
  for (const TShortcut& row : ShortcutTable())
    if (row.Action == Action) return row;
  throw std::logic_error("an action without a row in the shortcut table");
}

}  // namespace kyv::player
