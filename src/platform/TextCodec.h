#pragma once

#include <string>
#include <string_view>

namespace kyv {

// Texts inside the system are byte strings in the locale's code set (UTF-8 normally, GBK under a
// zh_CN.GBK locale); texts crossing the Automation interface are UTF-16. Each character that the
// target cannot hold becomes one '?', and so does each stray byte of the input. A code set that
// iconv does not know raises EKyvError.

// The code set named by the environment's locale, as iconv knows it ("UTF-8" when unset).
std::string LocaleCodeSet();

std::u16string ToUtf16(std::string_view text, std::string_view codeSet = LocaleCodeSet());
std::string FromUtf16(std::u16string_view text, std::string_view codeSet = LocaleCodeSet());

// The system's own texts are written as UTF-8; this turns one into the locale's code set.
std::string FromUtf8(std::string_view text, std::string_view codeSet = LocaleCodeSet());

}  // namespace kyv
