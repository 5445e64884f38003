#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "com/ComPtr.h"
#include "kyv/kyvplayer.h"

namespace kyv {

class IPlayerViews;
class TKyvPlayerEvents;
class TPlayerControl;

// The control's form as the component sees it, without a toolkit: the form properties that
// hosts read and write (the members of IKyvPlayer before LoadFile), the toolkit's widget that a
// desktop host places, the views the control draws into, and the form's own event loop.
// Setting a property changes the form and nothing else.
//
// Threads: the control's thread only, like the control.
class IControlForm {
 public:
  virtual ~IControlForm() = default;

  virtual bool Visible() const = 0;
  virtual void SetVisible(bool Value) = 0;
  virtual bool AutoScroll() const = 0;
  virtual void SetAutoScroll(bool Value) = 0;
  virtual bool AutoSize() const = 0;
  virtual void SetAutoSize(bool Value) = 0;
  virtual TxActiveFormBorderStyle AxBorderStyle() const = 0;
  virtual void SetAxBorderStyle(TxActiveFormBorderStyle Value) = 0;
  virtual std::u16string Caption() const = 0;
  virtual void SetCaption(const std::u16string& Value) = 0;
  // A colour value, or 0x80000000 plus a system colour's number (15: button face).
  virtual OLE_COLOR Color() const = 0;
  virtual void SetColor(OLE_COLOR Value) = 0;
  virtual com::TComPtr<IFontDisp> Font() const = 0;
  virtual void SetFont(com::TComPtr<IFontDisp> Value) = 0;
  virtual bool KeyPreview() const = 0;
  virtual void SetKeyPreview(bool Value) = 0;
  virtual int32_t PixelsPerInch() const = 0;
  virtual void SetPixelsPerInch(int32_t Value) = 0;
  virtual TxPrintScale PrintScale() const = 0;
  virtual void SetPrintScale(TxPrintScale Value) = 0;
  virtual bool Scaled() const = 0;
  virtual void SetScaled(bool Value) = 0;
  virtual bool Active() const = 0;
  virtual bool DropTarget() const = 0;
  virtual void SetDropTarget(bool Value) = 0;
  virtual std::u16string HelpFile() const = 0;
  virtual void SetHelpFile(const std::u16string& Value) = 0;
  virtual bool DoubleBuffered() const = 0;
  virtual void SetDoubleBuffered(bool Value) = 0;
  virtual int32_t VisibleDockClientCount() const = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool Value) = 0;
  // The mouse cursor's number (0 the default, negative numbers the standard shapes).
  virtual int16_t Cursor() const = 0;
  virtual void SetCursor(int16_t Value) = 0;

  // The component the form belongs to (not owned): a form whose toolkit calls the control or
  // raises events from its own loop keeps it alive meanwhile, as the host may release it there.
  virtual void SetOwner(IUnknown* Owner) = 0;
  // The toolkit's widget (a QWidget*); null without a toolkit or once the host deleted it.
  virtual void* Widget() = 0;
  // What the control draws into; null without a toolkit.
  virtual IPlayerViews* Views() = 0;
  // Runs the form's event loop for up to Timeout (what is waiting when zero), the control's
  // messages and timers included. False when the form has no loop of its own: the caller then
  // pumps the control itself.
  virtual bool RunEvents(std::chrono::milliseconds Timeout) = 0;
};

// Makes the form of a control that has just been made. The form hooks itself to Control (its
// views, wake-up and timers) and raises the form's events through Events; both outlive it.
using TControlFormFactory = std::function<std::unique_ptr<IControlForm>(
    TPlayerControl& Control, const TKyvPlayerEvents& Events)>;

// A form without a toolkit: the properties are values kept for the host, with the settings of
// the control's design (caption, button face, key preview, 96 pixels per inch).
class TKeptControlForm : public IControlForm {
 public:
  bool Visible() const override { return FVisible; }
  void SetVisible(bool Value) override { FVisible = Value; }
  bool AutoScroll() const override { return FAutoScroll; }
  void SetAutoScroll(bool Value) override { FAutoScroll = Value; }
  bool AutoSize() const override { return FAutoSize; }
  void SetAutoSize(bool Value) override { FAutoSize = Value; }
  TxActiveFormBorderStyle AxBorderStyle() const override { return FAxBorderStyle; }
  void SetAxBorderStyle(TxActiveFormBorderStyle Value) override { FAxBorderStyle = Value; }
  std::u16string Caption() const override { return FCaption; }
  void SetCaption(const std::u16string& Value) override { FCaption = Value; }
  OLE_COLOR Color() const override { return FColor; }
  void SetColor(OLE_COLOR Value) override { FColor = Value; }
  com::TComPtr<IFontDisp> Font() const override { return FFont; }
  void SetFont(com::TComPtr<IFontDisp> Value) override { FFont = std::move(Value); }
  bool KeyPreview() const override { return FKeyPreview; }
  void SetKeyPreview(bool Value) override { FKeyPreview = Value; }
  int32_t PixelsPerInch() const override { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t Value) override { FPixelsPerInch = Value; }
  TxPrintScale PrintScale() const override { return FPrintScale; }
  void SetPrintScale(TxPrintScale Value) override { FPrintScale = Value; }
  bool Scaled() const override { return FScaled; }
  void SetScaled(bool Value) override { FScaled = Value; }
  // Without a form on screen the control never has the focus.
  bool Active() const override { return false; }
  bool DropTarget() const override { return FDropTarget; }
  void SetDropTarget(bool Value) override { FDropTarget = Value; }
  std::u16string HelpFile() const override { return FHelpFile; }
  void SetHelpFile(const std::u16string& Value) override { FHelpFile = Value; }
  bool DoubleBuffered() const override { return FDoubleBuffered; }
  void SetDoubleBuffered(bool Value) override { FDoubleBuffered = Value; }
  // Nothing docks into the control.
  int32_t VisibleDockClientCount() const override { return 0; }
  bool Enabled() const override { return FEnabled; }
  void SetEnabled(bool Value) override { FEnabled = Value; }
  int16_t Cursor() const override { return FCursor; }
  void SetCursor(int16_t Value) override { FCursor = Value; }
  // The host's own loop runs the control, holding the component (the thread pump does).
  void SetOwner(IUnknown*) override {}

  void* Widget() override { return nullptr; }
  IPlayerViews* Views() override { return nullptr; }
  bool RunEvents(std::chrono::milliseconds) override { return false; }

  static constexpr OLE_COLOR kButtonFace = 0x8000000F;

 private:
  bool FVisible = true;
  bool FAutoScroll = false;
  bool FAutoSize = false;
  TxActiveFormBorderStyle FAxBorderStyle = afbNone;
  std::u16string FCaption = u"Kavrindel KyvPlayer";
  OLE_COLOR FColor = kButtonFace;
  com::TComPtr<IFontDisp> FFont;
  bool FKeyPreview = true;
  int32_t FPixelsPerInch = 96;
  TxPrintScale FPrintScale = poProportional;
  bool FScaled = true;
  bool FDropTarget = false;
  std::u16string FHelpFile;
  bool FDoubleBuffered = false;
  bool FEnabled = true;
  int16_t FCursor = 0;
};

}  // namespace kyv
