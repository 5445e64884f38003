#pragma once

#include <cstdint>
#include <string_view>

#include "com/ConnectionPoint.h"

namespace kyv {

// Raises the events of IKyvPlayerEvents on the sinks of the control's connection point, each
// with its member number and the argument kinds of the type library: 32-bit integers as
// VT_I4, texts as BSTR, the frame record's address as VT_I8, and OnKeyPress's key as a 16-bit
// value by reference that the sinks may change. With no sink connected a raise does nothing;
// what a sink answers is ignored. Threads: any (the point takes a snapshot of its sinks).
class TKyvPlayerEvents {
 public:
  explicit TKyvPlayerEvents(const com::TConnectionPoint& Point) noexcept : FPoint(Point) {}

  void OnActivate() const;
  void OnClick() const;
  void OnCreate() const;
  void OnDblClick() const;
  void OnDestroy() const;
  void OnDeactivate() const;
  // Key is what the sinks left in it.
  void OnKeyPress(int16_t& Key) const;
  void OnPaint() const;
  void OnSkip(int32_t Seconds) const;
  void OnPlayStateChanged(int32_t NewState) const;
  void OnDisplayModeChanged(int32_t NewMode) const;
  // Texts in UTF-8.
  void OnScript(std::string_view Script) const;
  void OnIndex(std::string_view Index) const;
  void OnStreamSample(const void* Record) const;
  void OnString(std::string_view Str) const;
  void OnMouseDown(int32_t Button, int32_t X, int32_t Y) const;
  void OnMouseMove(int32_t X, int32_t Y) const;
  void OnMouseUp(int32_t Button, int32_t X, int32_t Y) const;

 private:
  void Raise(DISPID Member) const;
  void RaiseLongs(DISPID Member, std::initializer_list<int32_t> Values) const;
  void RaiseText(DISPID Member, std::string_view Text) const;

  const com::TConnectionPoint& FPoint;
};

}  // namespace kyv
