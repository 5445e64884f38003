#include "source/Download.h"

#include <unistd.h>

#include <optional>
#include <unordered_map>
#include <utility>

#include "log/Log.h"
#include "nails/NailsIndex.h"
#include "nails/NailsSink.h"
#include "source/DownloadFile.h"

namespace kyv {
namespace {

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// A plain file name as one segment of an address: every character that a server could take for
// more than part of the name is escaped; characters above 127 are left to the address's escape.
std::string EscapeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kKept = "-._~!$&'()*+,;=:@";
  std::string escaped;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (alnum || byte >= 0x80 || kKept.find(c) != std::string_view::npos) {
      escaped.push_back(c);
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 0x0F]);
    }
  }
  return escaped;
}

}  // namespace

TDownload::TDownload(std::string RemoteFolder, std::string LocalFolder, HWND NailsWindow,
                     TInternetTimeouts Timeouts)
    : FRemoteFolder(std::move(RemoteFolder)),
      FLocalFolder(std::move(LocalFolder)),
      FNails(NailsWindow),
      FTimeouts(Timeouts) {}

std::string TDownload::RemoteFolderOf(std::string_view Address) {
  const size_t slash = Address.rfind('/');
  return slash == std::string_view::npos ? std::string()
                                         : std::string(Address.substr(0, slash + 1));
}

std::vector<std::string> TDownload::Failures() const {
  std::lock_guard lock(FLock);
  return FFailures;
}

void TDownload::AddFailure(const std::string& Request, const std::string& Reason) {
  const std::string line = Request + ": " + Reason;
  GlobalLog().AddLine("Fail to download file: " + line);
  std::lock_guard lock(FLock);
  FFailures.push_back(line);
}

void TDownload::Execute() {
  if (FRemoteFolder.empty()) return;
  TInternetSession internet([this] { return Terminated(); }, FTimeouts);
  if (!internet.Opened()) {
    AddFailure(FRemoteFolder, "cannot open an internet session");
    return;
  }
  std::string reason;
  if (!DownloadFile(internet, FRemoteFolder + "nails.xml", FLocalFolder + "nails.xml",
                    kMaxNailsIndexBytes, &reason)) {
    AddFailure(FRemoteFolder + "nails.xml", reason);
    return;
  }
  FIndexCopied.store(true);
  const int copied = CopyImages(internet);
  // A download freed before its end belongs to a recording no longer shown: its thumbnails
  // must not replace those of the next one.
  if (copied > 0 && !Terminated()) PostLoadNails(FNails, FLocalFolder);
}

int TDownload::CopyImages(TInternetSession& Internet) {
  const std::optional<std::string> text = ReadNailsFile(FLocalFolder + "nails.xml");
  if (!text) return 0;
  // The value of the first line of each name, names compared without regard to case. Filled as
  // the lines are taken, since the first line of a name never comes after one that has it, so
  // the map grows only with the work done.
  std::unordered_map<std::string, std::string_view> values;
  int copied = 0;
  for (const std::string_view line : SplitNailsLines(*text)) {
    if (Terminated()) break;
    // A line without '=' has no name and so no value.
    const std::optional<std::string_view> own = NailValue(line);
    if (!own) break;
    const std::string_view value =
        values.emplace(LowerAscii(NailTimeText(line)), *own).first->second;
    if (value.empty()) break;
    const std::string request = FRemoteFolder + "\\" + std::string(value);
    if (!IsPlainFileName(value)) {
      AddFailure(request, "not a plain file name");
      continue;
    }
    const std::string local = FLocalFolder + "nails/" + std::string(value);
    // A failed copy must not leave another recording's image of the same name to be shown.
    ::unlink(local.c_str());
    std::string reason;
    bool done = DownloadFile(Internet, FRemoteFolder + EscapeName(value), local, kMaxNailImageBytes,
                             &reason);
    // A recording's folder copied to a server whole keeps its images in "nails/", as a local
    // one does: looked for there when the folder itself has none.
    if (!done && reason == kNotFoundFailure && !Terminated())
      done = DownloadFile(Internet, FRemoteFolder + "nails/" + EscapeName(value), local,
                          kMaxNailImageBytes, &reason);
    if (done)
      FCopied.store(++copied);
    else
      AddFailure(request, reason);
  }
  return copied;
}

}  // namespace kyv
