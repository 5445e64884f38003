#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Verbs.h"
#include "nails/NailRecord.h"
#include "nails/NailsCreator.h"
#include "nails/NailsSink.h"
#include "platform/CacheFolder.h"
#include "platform/Errors.h"
#include "platform/Window.h"
#include "source/Address.h"
#include "source/Download.h"
#include "context/UserMessages.h"

namespace kyv::tool {

namespace {

// Stands for the thumbnail strip: each folder it is given starts a creator, whose thumbnails the
// verb prints as they are handled on this (the window's) thread.
class TPrintingStrip : public TNailsSink {
 public:
  explicit TPrintingStrip(TWindow& Window) : FWindow(Window) {}

  void LoadNails(const std::string& Dir) override {
    FCreator.reset();  // an earlier creation stops before the next starts
    FCreator = TThread::Create<TNailsCreator>(Dir, FWindow.Handle());
  }

  bool Busy() const { return FCreator && !FCreator->Finished(); }

 private:
  TWindow& FWindow;
  TThreadPtr<TNailsCreator> FCreator;
};

// Handles the window's messages until Working says no worker can post any more and none waits.
template <class TWorking>
void HandleMessages(TWindow& window, TPrintingStrip& strip, std::ostream& out, TWorking Working) {
  for (;;) {
    const bool working = Working() || strip.Busy();  // read before the queue: posts come first
    TMessage message;
    if (!window.Queue().Peek(message)) {
      if (!working) return;
      window.Queue().WaitFor(std::chrono::milliseconds(50));
      continue;
    }
    if (message.Msg == UM_NAIL) {
      const std::unique_ptr<TNailRecord> record = TakeNailRecord(message);
      out << record->Seconds << '\t' << NailPath(*record) << '\n';
    } else if (message.Msg == UM_LOAD_NAILS) {
      DeliverLoadNails(message, strip);
    }
  }
}

}  // namespace

int RunNails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    err << "usage: kyvtool nails FOLDER|ADDRESS\n";
    return kExitUsage;
  }
  const std::string address = NormalizeAddress(args[0]);
  TWindow window;
  TPrintingStrip strip(window);

  if (!IsNetworkAddress(address)) {
    std::filesystem::path folder(address);
    std::error_code error;
    // A recording's own path stands for its folder, as when the control opens it.
    if (!std::filesystem::is_directory(folder, error)) folder = folder.parent_path();
    std::string dir = folder.empty() ? std::string("./") : folder.string();
    if (dir.back() != '/') dir += '/';
    strip.LoadNails(dir);
    HandleMessages(window, strip, out, [] { return false; });
    return kExitOk;
  }

  const std::string cache = CacheFolder();  // raises "Fail to create directory: ..."
  TThreadPtr<TDownload> download =
      TThread::Create<TDownload>(TDownload::RemoteFolderOf(address), cache, window.Handle());
  HandleMessages(window, strip, out, [&download] { return !download->Finished(); });
  for (const std::string& failure : download->Failures())
    err << "kyvtool nails: " << failure << '\n';
  // Without the index there is nothing to show: that is a failure; a missing image is not.
  return download->IndexCopied() || TDownload::RemoteFolderOf(address).empty() ? kExitOk : kExitBad;
}

}  // namespace kyv::tool
