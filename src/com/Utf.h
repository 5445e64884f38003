#pragma once

#include <string>
#include <string_view>

namespace kyv::com {

// The runtime's own conversions (it links nothing of the player): UTF-8 from registry files and
// C hosts, UTF-16 inside BSTR. A bad sequence becomes U+FFFD, never a read past the input.
std::u16string Utf8ToUtf16(std::string_view Text);
std::string Utf16ToUtf8(std::u16string_view Text);

}  // namespace kyv::com
