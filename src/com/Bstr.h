#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "com/Utf.h"
#include "kyv/kyvcom.h"

namespace kyv::com {

// One owned BSTR, freed when the holder goes. Not for concurrent use.
class TBstr {
 public:
  TBstr() noexcept = default;
  explicit TBstr(std::u16string_view Text)
      : FText(SysAllocStringLen(Text.data(), static_cast<UINT>(Text.size()))) {}
  static TBstr FromUtf8(std::string_view Text) { return TBstr(Utf8ToUtf16(Text)); }
  // Takes over a BSTR that the caller owns.
  static TBstr Adopt(BSTR Text) noexcept {
    TBstr result;
    result.FText = Text;
    return result;
  }
  TBstr(TBstr&& Other) noexcept : FText(std::exchange(Other.FText, nullptr)) {}
  TBstr& operator=(TBstr Other) noexcept {
    std::swap(FText, Other.FText);
    return *this;
  }
  ~TBstr() { SysFreeString(FText); }

  BSTR Get() const noexcept { return FText; }
  [[nodiscard]] BSTR Detach() noexcept { return std::exchange(FText, nullptr); }
  BSTR* Receive() noexcept {
    SysFreeString(std::exchange(FText, nullptr));
    return &FText;
  }
  std::u16string_view View() const noexcept { return View(FText); }
  std::string Utf8() const { return Utf16ToUtf8(View()); }

  static std::u16string_view View(BSTR Text) noexcept {
    return Text == nullptr ? std::u16string_view() : std::u16string_view(Text, SysStringLen(Text));
  }

 private:
  BSTR FText = nullptr;
};

}  // namespace kyv::com
