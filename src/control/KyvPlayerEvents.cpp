#include "control/KyvPlayerEvents.h"

#include "com/Utf.h"
#include "kyv/kyvplayer.h"

namespace kyv {

using com::TVariant;

void TKyvPlayerEvents::Raise(DISPID Member) const {
  FPoint.Raise(Member, {});
}

void TKyvPlayerEvents::RaiseLongs(DISPID Member, std::initializer_list<int32_t> Values) const {
  if (!FPoint.HasSinks()) return;
  TVariant args[3];
  size_t count = 0;
  for (int32_t value : Values) args[count++] = TVariant::I4(value);
  FPoint.Raise(Member, std::span<TVariant>(args, count));
}

void TKyvPlayerEvents::RaiseText(DISPID Member, std::string_view Text) const {
  if (!FPoint.HasSinks()) return;
  TVariant text = TVariant::Text(com::Utf8ToUtf16(Text));
  FPoint.Raise(Member, std::span<TVariant>(&text, 1));
}

void TKyvPlayerEvents::OnActivate() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONACTIVATE);
}

void TKyvPlayerEvents::OnClick() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONCLICK);
}

void TKyvPlayerEvents::OnCreate() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONCREATE);
}

void TKyvPlayerEvents::OnDblClick() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONDBLCLICK);
}

void TKyvPlayerEvents::OnDestroy() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONDESTROY);
}

void TKyvPlayerEvents::OnDeactivate() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONDEACTIVATE);
}

void TKyvPlayerEvents::OnKeyPress(int16_t& Key) const {
  TVariant key = TVariant::ByRefI2(&Key);
  FPoint.Raise(DISPID_KYVPLAYEREVENTS_ONKEYPRESS, std::span<TVariant>(&key, 1));
}

void TKyvPlayerEvents::OnPaint() const {
  Raise(DISPID_KYVPLAYEREVENTS_ONPAINT);
}

void TKyvPlayerEvents::OnSkip(int32_t Seconds) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONSKIP, {Seconds});
}

void TKyvPlayerEvents::OnPlayStateChanged(int32_t NewState) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED, {NewState});
}

void TKyvPlayerEvents::OnDisplayModeChanged(int32_t NewMode) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONDISPLAYMODECHANGED, {NewMode});
}

void TKyvPlayerEvents::OnScript(std::string_view Script) const {
  RaiseText(DISPID_KYVPLAYEREVENTS_ONSCRIPT, Script);
}

void TKyvPlayerEvents::OnIndex(std::string_view Index) const {
  RaiseText(DISPID_KYVPLAYEREVENTS_ONINDEX, Index);
}

void TKyvPlayerEvents::OnStreamSample(const void* Record) const {
  TVariant data = TVariant::I8(static_cast<int64_t>(reinterpret_cast<intptr_t>(Record)));
  FPoint.Raise(DISPID_KYVPLAYEREVENTS_ONSTREAMSAMPLE, std::span<TVariant>(&data, 1));
}

void TKyvPlayerEvents::OnString(std::string_view Str) const {
  RaiseText(DISPID_KYVPLAYEREVENTS_ONSTRING, Str);
}

void TKyvPlayerEvents::OnMouseDown(int32_t Button, int32_t X, int32_t Y) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONMOUSEDOWN, {Button, X, Y});
}

void TKyvPlayerEvents::OnMouseMove(int32_t X, int32_t Y) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONMOUSEMOVE, {X, Y});
}

void TKyvPlayerEvents::OnMouseUp(int32_t Button, int32_t X, int32_t Y) const {
  RaiseLongs(DISPID_KYVPLAYEREVENTS_ONMOUSEUP, {Button, X, Y});
}

}  // namespace kyv
