#pragma once

#include <QScrollArea>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "nails/NailsCreator.h"
#include "nails/NailsSink.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Window.h"
#include "ui/Nail.h"
#include "ui/NailsLayout.h"

namespace kyv {

// The thumbnail strip (frmNails): up to 120 thumbnails of the recording in rows, with their
// times. Clicking one selects it and tells the host its time (OnSkip); while the recording plays
// the control keeps the thumbnail of the current time selected (SyncToTime). Hidden until the
// first thumbnail arrives.
//
// Threads: everything runs on the UI thread. The creator thread posts UM_NAIL and the layout
// thread posts UM_NAILS_LAYOUT to the control's window, whose handlers call NailReceived and
// NailsLayoutStep here. FLayoutEvent is the layout thread's hand-shake, private to this strip.
class TNailsFrame : public QScrollArea, public TNailsSink {
 public:
  static constexpr int kMaxNails = 120;
  static constexpr int kSpacing = 10;

  explicit TNailsFrame(QWidget* Parent = nullptr);
  // Stops the creator, frees the thumbnails, then stops the layout thread.
  ~TNailsFrame() override;

  // The control's window: the creator and the layout thread post to it.
  void SetWindow(HWND Wnd) noexcept { FWnd = Wnd; }
  // The host's OnSkip, raised with a clicked thumbnail's time; empty when no sink is connected.
  void SetOnSkip(std::function<void(int Seconds)> OnSkip) { FOnSkip = std::move(OnSkip); }

  // Stops the old creator, clears the selection and the thumbnails, and starts reading Dir.
  void LoadNails(const std::string& Dir) override;
  // UM_NAIL: takes the message's record (freed in every case) and adds its thumbnail.
  void NailReceived(const TMessage& Message);
  // Adds a thumbnail; false when it is dropped (the 121st and later) or its image cannot be
  // read, the strip then unchanged.
  bool AddNail(const std::string& Path, int Seconds);
  // Frees every thumbnail, last first.
  void ClearNails();
  // Selects the latest thumbnail not after Seconds and scrolls its row to the top.
  void SyncToTime(int Seconds);
  // Re-places thumbnail Index after thumbnail Index - 1 for the current columns; other indexes
  // are ignored.
  void RelayoutOne(int Index);
  // UM_NAILS_LAYOUT: RelayoutOne, then lets the layout thread go on.
  void NailsLayoutStep(int Index);
  void NailClick(TNail& Nail);
  // Background of the strip, 0x00BBGGRR.
  void SetBackground(uint32_t Colour);

  int Count() const noexcept { return FCount; }
  int Columns() const noexcept { return FColumns; }
  TNail& Nail(int Index) { return *FNails.at(static_cast<size_t>(Index)); }
  const TNail* Selected() const noexcept { return FSelected; }
  QWidget& Canvas() noexcept { return *FCanvas; }
  QWidget* Splitter() noexcept { return FSplitter.get(); }
  // Null until a width change needed it.
  TNailsLayout* LayoutThread() noexcept { return FLayout.get(); }
  TNailsCreator* Creator() noexcept { return FCreator.get(); }

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void moveEvent(QMoveEvent* Event) override;

 private:
  int ColumnsForWidth() const noexcept;
  // Puts Nail after Previous: beside it, or at the start of the next row.
  void PlaceAfter(TNail& Nail, const TNail& Previous, int Index);
  void UpdateCanvasSize();
  void PlaceSplitter();
  void RequestRelayout();

  QWidget* FCanvas;  // owned by the scroll area
  std::array<std::unique_ptr<TNail>, kMaxNails> FNails;
  int FCount = 0;
  TNail* FSelected = nullptr;
  int FColumns = 1;
  HWND FWnd = 0;
  std::function<void(int)> FOnSkip;
  std::unique_ptr<QWidget> FSplitter;  // a child of the strip's parent
  TThreadPtr<TNailsCreator> FCreator;
  TEvent FLayoutEvent;  // before FLayout, which waits on it
  TThreadPtr<TNailsLayout> FLayout;
};

}  // namespace kyv
