#include "platform/TextCodec.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/Errors.h"

namespace kyv {

namespace {

struct TIconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

// Bytes of the one character at p that the conversion stopped at, so that a character the target
// cannot hold becomes a single '?'. Bytes that do not form a character are skipped one unit at a
// time.
size_t CharacterLength(std::string_view from, const char* p, size_t left) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  if (SameName(from, "UTF-16LE")) {
    if (left < 2) return left;
    const unsigned unit = b[0] | (b[1] << 8);
    if (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) {
      const unsigned next = b[2] | (b[3] << 8);
      if (next >= 0xDC00 && next <= 0xDFFF) return 4;
    }
    return 2;
  }
  if (SameName(from, "UTF-8") || SameName(from, "UTF8")) {
    const size_t n = b[0] < 0x80             ? 1
                     : (b[0] & 0xE0) == 0xC0 ? 2
                     : (b[0] & 0xF0) == 0xE0 ? 3
                     : (b[0] & 0xF8) == 0xF0 ? 4
                                             : 1;
    if (n > left) return 1;
    for (size_t i = 1; i < n; ++i)
      if ((b[i] & 0xC0) != 0x80) return 1;
    return n;
  }
  return 1;
}

// Converts with iconv, replacing what cannot be converted by '?' in the target.
std::string Convert(std::string_view from, std::string_view to, std::string_view input,
                    std::string_view question) {
  const std::string fromName(from), toName(to);
  iconv_t raw = iconv_open(toName.c_str(), fromName.c_str());
  if (raw == reinterpret_cast<iconv_t>(-1))
    throw EKyvError("No conversion from code set " + fromName + " to " + toName);
  const std::unique_ptr<void, TIconvCloser> cd(raw);
  std::string out(input.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  size_t used = 0;
  const auto reserve = [&](size_t more) {
    if (out.size() - used < more) out.resize(out.size() * 2 + more);
  };
  while (inLeft > 0) {
    char* dst = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t result = iconv(raw, &in, &inLeft, &dst, &outLeft);
    const int error = errno;
    used = static_cast<size_t>(dst - out.data());
    if (result != static_cast<size_t>(-1)) break;
    if (error == E2BIG) {
      reserve(out.size());
      continue;
    }
    // EILSEQ: one character that is invalid or that the target lacks. EINVAL: the input ends
    // inside a character. Either way one '?' takes its place.
    const size_t skip = error == EINVAL ? inLeft : CharacterLength(from, in, inLeft);
    in += skip;
    inLeft -= skip;
    reserve(question.size());
    out.replace(used, question.size(), question);
    used += question.size();
  }
  out.resize(used);
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
  const std::string bytes = Convert(codeSet, "UTF-16LE", text, std::string_view(kQuestion16, 2));
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
  return Convert("UTF-16LE", codeSet, bytes, "?");
}

std::string FromUtf8(std::string_view text, std::string_view codeSet) {
  if (codeSet == "UTF-8") return std::string(text);
  return Convert("UTF-8", codeSet, text, "?");
}

}  // namespace kyv
