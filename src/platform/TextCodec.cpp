#include "platform/TextCodec.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>

namespace kyv {

namespace {

// Converts with iconv, replacing what cannot be converted by '?' in the target.
std::string Convert(const char* from, const char* to, std::string_view input, size_t unitSize,
                    std::string_view question) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  std::string out;
  out.resize(input.size() * 4 + 8);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // EILSEQ or EINVAL: skip one input unit and put a question mark in its place.
    const size_t skip = std::min(unitSize, inLeft);
    in += skip;
    inLeft -= skip;
    if (outLeft < question.size()) {
      const size_t used = static_cast<size_t>(dst - out.data());
      out.resize(out.size() * 2 + question.size());
      dst = out.data() + used;
      outLeft = out.size() - used;
    }
    for (char c : question) *dst++ = c, --outLeft;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
  iconv_close(cd);
  return out;
}

constexpr char kQuestion16[] = {'?', '\0'};  // '?' in UTF-16LE

}  // namespace

std::string LocaleCodeSet() {
  const char* name = nullptr;
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') {
      name = value;
      break;
    }
  }
  if (name == nullptr) return "UTF-8";
  locale_t loc = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return "UTF-8";
  std::string codeSet = nl_langinfo_l(CODESET, loc);
  freelocale(loc);
  // The C locale says ASCII; UTF-8 holds it and everything else this system writes.
  if (codeSet.empty() || codeSet == "ANSI_X3.4-1968") return "UTF-8";
  return codeSet;
}

std::u16string ToUtf16(std::string_view text, std::string_view codeSet) {
  const std::string bytes = Convert(std::string(codeSet).c_str(), "UTF-16LE", text, 1,
                                    std::string_view(kQuestion16, 2));
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                   (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  return out;
}

std::string FromUtf16(std::u16string_view text, std::string_view codeSet) {
  std::string bytes(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return Convert("UTF-16LE", std::string(codeSet).c_str(), bytes, 2, "?");
}

std::string FromUtf8(std::string_view text, std::string_view codeSet) {
  if (codeSet == "UTF-8") return std::string(text);
  return Convert("UTF-8", std::string(codeSet).c_str(), text, 1, "?");
}

}  // namespace kyv
