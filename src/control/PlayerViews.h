#pragma once

#include <cstdint>
#include <string>

#include "control/PlayerStatus.h"
#include "picture/Rect.h"
#include "platform/Messages.h"

namespace kyv {

// The views the control drives: the detail view with its picture and the thumbnail strip. The
// toolkit implements them (they draw, lay out and take input); the control decides when. Every
// member runs on the control's thread. Defaults do nothing, so a headless host overrides what it
// needs.
class IPlayerViews {
 public:
  virtual ~IPlayerViews() = default;

  // Show the picture laid out for Mode: in the detail view, or for dmFull on the full-screen
  // window (made when there is none). Leaving dmFull frees that window. Called when a source
  // is ready, when the mode changes with a source open, and when full screen ends.
  virtual void ShowPicture(TDisplayMode Mode) { (void)Mode; }
  // The source is closed: hide the picture and free any full-screen window.
  virtual void HidePicture() {}
  // Changed part of the recording's picture (merged, never empty): copy it from the play
  // thread's back buffer.
  virtual void RepaintRect(const TRect& Changed) { (void)Changed; }
  virtual void Marker() {}
  // Background of the detail view and of the thumbnail strip, 0x00BBGGRR.
  virtual void SetBackground(uint32_t Color) { (void)Color; }

  // The thumbnail strip. It is hidden until its first thumbnail.
  virtual void HideNails() {}
  virtual bool NailsVisible() const { return false; }
  // A new set of thumbnails begins: forget the old ones and the selection.
  virtual void ClearNails() {}
  // One thumbnail; false when its image cannot be shown (it is then left out).
  virtual bool AddNail(const std::string& Path, int32_t Seconds) {
    (void)Path;
    (void)Seconds;
    return false;
  }
  // Select the thumbnail of the playing position.
  virtual void SyncToTime(int32_t Seconds) { (void)Seconds; }
  // UM_NAILS_LAYOUT: re-place one thumbnail, then let the strip's layout thread go on.
  virtual void RelayoutOne(int Index) { (void)Index; }

  // A message to the control's window that belongs to the toolkit alone.
  virtual void WindowMessage(const TMessage& Message) { (void)Message; }
};

}  // namespace kyv
