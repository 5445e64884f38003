#include "source/Address.h"

#include <algorithm>
#include <cctype>

namespace kyv {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return out;
}

bool StartsUpper(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && Upper(text.substr(0, prefix.size())) == prefix;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool IsDrivePath(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

std::string NormalizeAddress(std::string_view address) {
  std::string text(address);
  ReplaceAll(text, "%7B", "{");
  ReplaceAll(text, "%7D", "}");
  ReplaceAll(text, "%20", " ");

  if (StartsUpper(text, "FILE://")) {
    if (StartsUpper(text, "FILE:///")) {
      // "file:///C:/..." names a drive; "file:///home/..." is a path of this system, whose
      // leading "/" is kept and whose separators stay as they are.
      const bool drive = IsDrivePath(std::string_view(text).substr(8));
      text.erase(0, drive ? 8 : 7);
      if (!drive) {
        if (const size_t q = text.find('?'); q != std::string::npos) text.erase(q);
        return text;
      }
    } else {
      text.erase(0, 7);
      if (text.size() >= 2 && text[1] != ':' && text.compare(0, 2, "\\\\") != 0)
        text.insert(0, "\\\\");
    }
    std::replace(text.begin(), text.end(), '/', '\\');
  }

  if (const size_t q = text.find('?'); q != std::string::npos) text.erase(q);
  return text;
}

bool IsNetworkAddress(std::string_view address) {
  if (address.size() < 4) return false;
  const std::string head = Upper(address.substr(0, 4));
  return head == "HTTP" || head == "FTP:" || head == "KYVS";
}

std::string AddressExtension(std::string_view address) {
  const size_t separator = address.find_last_of("\\:");
  const size_t from = separator == std::string_view::npos ? 0 : separator + 1;
  const size_t dot = address.rfind('.');
  if (dot == std::string_view::npos || dot < from) return {};
  return std::string(address.substr(dot));
}

std::string ResolveAddress(std::string_view normalised, std::string_view documentAddress) {
  if (normalised.find_first_of("/\\") != std::string_view::npos || documentAddress.empty())
    return std::string(normalised);
  const std::string document = NormalizeAddress(documentAddress);
  const size_t separator = document.find_last_of("/\\");
  if (separator == std::string::npos) return std::string(normalised);
  return document.substr(0, separator + 1) + std::string(normalised);
}

TReaderKind ChooseReader(std::string_view resolved) {
  if (StartsUpper(resolved, "KYVS")) return rkLiveTcp;
  if (Upper(AddressExtension(resolved)) == ".SMS")
    return StartsUpper(resolved, "HTTP") ? rkMulticastRemote : rkMulticastLocal;
  return rkFile;
}

}  // namespace kyv
