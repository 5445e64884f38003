#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Thread.h"
#include "platform/Window.h"
#include "source/InternetSession.h"

namespace kyv {

// The longest thumbnail image downloaded.
inline constexpr uint64_t kMaxNailImageBytes = 16u << 20;

// The thumbnail download of a web recording: copies the recording folder's "nails.xml" into the
// cache folder and the images it names into the cache folder's "nails/", then hands the cache
// folder to the thumbnail strip by posting UM_LOAD_NAILS (see nails/NailsSink.h) to its window,
// when at least one image arrived. It runs once and ends.
//
// Names in the index are plain file names or are skipped, so nothing is written outside
// "nails/". On the wire an image is the folder address followed by the name (escaped): the folder
// address already ends in '/', which stands for the separator of the request name
// "folder + \ + name" that the log shows (servers answer a literal backslash with 404). When
// the server has no such file there, the image is asked for in the folder's "nails/", where a
// recording's folder copied whole keeps it.
//
// Threads: made and freed (TThreadPtr) by the control's thread. Freeing it ends the running
// transfer within about a second, even when the server has stalled, and nothing is then posted.
class TDownload : public TThread {
 public:
  // RemoteFolder: the recording's address up to and including its last '/' (RemoteFolderOf);
  // empty means no thumbnails and no traffic. LocalFolder: the cache folder, ending in '/'.
  // NailsWindow: the window whose thread handles UM_LOAD_NAILS for the thumbnail strip.
  TDownload(std::string RemoteFolder, std::string LocalFolder, HWND NailsWindow,
            TInternetTimeouts Timeouts = {});

  // The part of Address up to and including its last '/'; empty when it has none.
  static std::string RemoteFolderOf(std::string_view Address);

  // Any thread: whether "nails.xml" arrived.
  bool IndexCopied() const { return FIndexCopied.load(); }
  // Any thread: images copied so far.
  int Copied() const { return FCopied.load(); }
  // Any thread: the reasons of the failed downloads so far, one line each ("request: reason").
  std::vector<std::string> Failures() const;

 protected:
  void Execute() override;

 private:
  // Download thread: copies the images named in the downloaded index; the count copied.
  int CopyImages(TInternetSession& Internet);
  void AddFailure(const std::string& Request, const std::string& Reason);

  const std::string FRemoteFolder;
  const std::string FLocalFolder;
  const HWND FNails;  // the thumbnail strip, reached through its window's queue
  const TInternetTimeouts FTimeouts;
  std::atomic<bool> FIndexCopied{false};
  std::atomic<int> FCopied{0};
  mutable std::mutex FLock;
  std::vector<std::string> FFailures;  // guarded by FLock
};

}  // namespace kyv
