#pragma once

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QWidget;

namespace kyv {

// One thumbnail of the strip: an outline shown when selected, the image, its time and its
// number, all children of the strip. Its place is the outline's; the geometry is fixed.
//
// UI thread.
class TNail {
 public:
  static constexpr int kOutlineSize = 64;
  static constexpr int kImageSize = 60;
  static constexpr int kTimeHeight = 13;  // the control's 8-point font
  static constexpr int kWidth = kOutlineSize;
  static constexpr int kHeight = kOutlineSize + kTimeHeight;
  static constexpr int kDesignLeft = 10;
  static constexpr int kDesignTop = 10;

  // Strip: the parent of the visual parts. OnClick: a click on the image.
  TNail(QWidget& Strip, std::function<void(TNail&)> OnClick);
  ~TNail();
  TNail(const TNail&) = delete;
  TNail& operator=(const TNail&) = delete;

  // Reads the image (JPEG, BMP, PNG, told by content); false, with nothing shown, when it cannot
  // be read.
  bool LoadPicture(const std::string& Path);
  void SetTime(int Seconds);
  void SetSelected(bool Selected) noexcept { FIsSelected = Selected; }
  void SetLeft(int Left);
  void SetTop(int Top);
  void SetIndex(int Index) noexcept { FIndex = Index; }
  // Shows the parts as the state says: selected, a green outline and a bold green time;
  // otherwise no outline and a regular yellow time.
  void Refresh();

  int Left() const noexcept { return FLeft; }
  int Top() const noexcept { return FTop; }
  int Width() const noexcept { return kWidth; }
  int Height() const noexcept { return kHeight; }
  int Right() const noexcept { return FLeft + kWidth; }
  int Bottom() const noexcept { return FTop + kHeight; }
  int Index() const noexcept { return FIndex; }
  int Seconds() const noexcept { return FSeconds; }
  bool IsSelected() const noexcept { return FIsSelected; }
  const std::string& FileName() const noexcept { return FFileName; }

  QWidget& Outline() noexcept { return *FOutline; }
  QLabel& Image() noexcept { return *FImage; }
  QLabel& TimeLabel() noexcept { return *FTimeLabel; }
  QLabel& NumberLabel() noexcept { return *FNumberLabel; }

 private:
  void Place();

  std::unique_ptr<QWidget> FOutline;
  std::unique_ptr<QLabel> FImage;
  std::unique_ptr<QLabel> FTimeLabel;
  std::unique_ptr<QLabel> FNumberLabel;
  int FLeft = kDesignLeft;
  int FTop = kDesignTop;
  int FIndex = 0;
  int FSeconds = 0;
  std::string FFileName;
  bool FIsSelected = false;
};

}  // namespace kyv
