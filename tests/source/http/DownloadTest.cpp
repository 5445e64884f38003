#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nails/NailsSink.h"
#include "platform/CacheFolder.h"
#include "platform/Errors.h"
#include "platform/Window.h"
#include "source/DescriptionDownload.h"
#include "source/Download.h"
#include "source/DownloadFile.h"
#include "context/UserMessages.h"
#include "support/NginxServer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TempFolder.h"
#include "support/TestLog.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

// Bytes that differ per name, so that a wrong file shows.
std::string ImageBytes(const std::string& name, size_t size = 3000) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 31 + name.size() * 7 + name[0]) & 0xFF);
  return bytes;
}

// A server on 127.0.0.1 that answers every request with the start of a long reply and then
// sends nothing until it is destroyed.
class TStallingServer {
 public:
  TStallingServer() {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListener, 4) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    FPort = ntohs(address.sin_port);
    ::pipe2(FWake, O_CLOEXEC);
    FThread = std::thread([this] { Serve(); });
  }
  ~TStallingServer() {
    if (FWake[1] >= 0) (void)::write(FWake[1], "x", 1);
    if (FThread.joinable()) FThread.join();
    for (int fd : {FListener, FWake[0], FWake[1]})
      if (fd >= 0) ::close(fd);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + "/" + path;
  }
  // Waits until a reply has stalled.
  bool WaitStalled() {
    return FStalled.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  }

 private:
  bool Wait(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    return ::poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) == 0;
  }
  void Serve() {
    if (!Wait(FListener)) return;
    const int client = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    char request[4096];
    (void)::recv(client, request, sizeof request, 0);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n0=a.jpg\n";
    (void)::send(client, head.data(), head.size(), MSG_NOSIGNAL);
    FStalled.set_value();
    Wait(client);  // until the destructor, whatever the client does
    ::close(client);
  }
  int FListener = -1;
  int FWake[2] = {-1, -1};
  uint16_t FPort = 0;
  std::promise<void> FStalled;
  std::thread FThread;
};

// What the strip would be given, on the window's thread.
class TRecordingSink : public TNailsSink {
 public:
  void LoadNails(const std::string& Dir) override { Dirs.push_back(Dir); }
  std::vector<std::string> Dirs;
};

class Download : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FRoot = std::make_unique<test::TTempFolder>("kyv_nails_root");
    const fs::path root = FRoot->Path();
    WriteAll(root / "ok/nails.xml", "0=0001.jpg\r\n5000=0002.jpg\r\n10000=0003.jpg\r\n");
    for (const char* name : {"0001.jpg", "0002.jpg", "0003.jpg"})
      WriteAll(root / "ok" / name, ImageBytes(name));
    WriteAll(root / "third_empty/nails.xml", "0=a.jpg\n5000=b.jpg\n10000=\n15000=d.jpg\n");
    for (const char* name : {"a.jpg", "b.jpg", "d.jpg"})
      WriteAll(root / "third_empty" / name, ImageBytes(name));
    WriteAll(root / "hostile/nails.xml",
             "0=../x.jpg\n1000=/etc/x.jpg\n2000=..\n3000=.x.jpg\n4000=ok.jpg\n");
    WriteAll(root / "x.jpg", ImageBytes("x.jpg"));
    WriteAll(root / "hostile/ok.jpg", ImageBytes("ok.jpg"));
    // An HTML page whose mark lies wholly in the second 1024-byte block.
    FHtmlIndex = std::string(1100, '\n') + "<!DOCTYPE html><html>not found</html>";
    WriteAll(root / "html/nails.xml", FHtmlIndex);
    WriteAll(root / "html/a.jpg", ImageBytes("a.jpg"));
    // The mark split over two blocks is not seen, so the file is taken whole.
    FSplitMark = std::string(1019, 'a') + "<!DOCTYPE" + std::string(100, 'b');
    WriteAll(root / "split.txt", FSplitMark);
    WriteAll(root / "big/nails.xml", "0=big.jpg\n1000=small.jpg\n");
    WriteAll(root / "big/small.jpg", ImageBytes("small.jpg"));
    std::ofstream(root / "big/big.jpg").close();
    fs::resize_file(root / "big/big.jpg", kMaxNailImageBytes + 1);
    WriteAll(root / "whole/nails.xml", "0=n1.jpg\n1000=n2.jpg\n");
    WriteAll(root / "whole/nails/n1.jpg", ImageBytes("n1.jpg"));
    WriteAll(root / "whole/nails/n2.jpg", ImageBytes("n2.jpg"));
    WriteAll(root / "missing/nails.xml", "0=gone.jpg\n");
    WriteAll(root / "group.sms", "[Address]\nip=239.1.2.3\nport=5000\n");
    WriteAll(root / "huge.sms", std::string(kMaxDescriptionFileBytes + 1, ';'));
    FServer = std::make_unique<test::TNginxServer>(root);
  }
  static void TearDownTestSuite() {
    FServer.reset();
    FRoot.reset();
  }
  void SetUp() override {
    if (!FServer->Started()) GTEST_SKIP() << "nginx is not available: " << FServer->Reason();
    ::setenv("KYV_CACHE_DIR", (FCacheParent.Path() / "kyvplayer").c_str(), 1);
    FCache = CacheFolder();
  }

  // Runs a download of Folder (on the server) to its end; the folders the strip was given.
  std::vector<std::string> Run(const std::string& Folder, int* Copied = nullptr) {
    TWindow window;
    TThreadPtr<TDownload> download = TThread::Create<TDownload>(Folder, FCache, window.Handle());
    download->WaitFor();
    if (Copied != nullptr) *Copied = download->Copied();
    TRecordingSink sink;
    TMessage message;
    while (window.Queue().Peek(message)) {
      EXPECT_EQ(message.Msg, UM_LOAD_NAILS);
      DeliverLoadNails(message, sink);
    }
    return sink.Dirs;
  }

  std::vector<std::string> CachedImages() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FCache + "nails"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TTempFolder FCacheParent{"kyv_cache"};
  std::string FCache;
  static std::unique_ptr<test::TTempFolder> FRoot;
  static std::unique_ptr<test::TNginxServer> FServer;
  static std::string FHtmlIndex;
  static std::string FSplitMark;
};

std::unique_ptr<test::TTempFolder> Download::FRoot;
std::unique_ptr<test::TNginxServer> Download::FServer;
std::string Download::FHtmlIndex;
std::string Download::FSplitMark;

TEST_F(Download, CopiesTheIndexAndItsImagesThenLoadsTheCacheFolder) {
  int copied = 0;
  EXPECT_EQ(Run(FServer->Url("ok/"), &copied), std::vector<std::string>{FCache});
  EXPECT_EQ(copied, 3);
  EXPECT_EQ(ReadAll(FCache + "nails.xml"), ReadAll(FRoot->Path() / "ok/nails.xml"));
  EXPECT_EQ(CachedImages(), (std::vector<std::string>{"0001.jpg", "0002.jpg", "0003.jpg"}));
  for (const char* name : {"0001.jpg", "0002.jpg", "0003.jpg"})
    EXPECT_EQ(ReadAll(FCache + "nails/" + name), ImageBytes(name)) << name;
  // The backslash of the request name is the folder's own '/' on the wire.
  EXPECT_NE(FServer->AccessLog().find("GET /ok/0001.jpg "), std::string::npos);
}

TEST_F(Download, AnEmptyThirdValueCopiesTwoImages) {
  EXPECT_EQ(Run(FServer->Url("third_empty/")).size(), 1u);
  EXPECT_EQ(CachedImages(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

TEST_F(Download, NamesThatLeaveTheFolderAreNeverRequestedNorWritten) {
  test::TLogWatch log;
  EXPECT_EQ(Run(FServer->Url("hostile/")).size(), 1u);
  EXPECT_EQ(CachedImages(), std::vector<std::string>{"ok.jpg"});
  std::vector<std::string> top;
  for (const auto& entry : fs::directory_iterator(FCacheParent.Path()))
    top.push_back(entry.path().filename().string());
  EXPECT_EQ(top, std::vector<std::string>{"kyvplayer"});
  EXPECT_EQ(FServer->AccessLog().find("x.jpg"), std::string::npos);
  // The log names the request as folder, backslash and value.
  EXPECT_EQ(log.Count("Fail to download file: " + FServer->Url("hostile/") +
                      "\\../x.jpg: not a plain file name"),
            1);
}

TEST_F(Download, AnHtmlIndexGivesNoThumbnailsAndLeavesItsFirstBlock) {
  test::TLogWatch log;
  EXPECT_TRUE(Run(FServer->Url("html/")).empty());
  EXPECT_EQ(ReadAll(FCache + "nails.xml"), FHtmlIndex.substr(0, 1024));
  EXPECT_TRUE(CachedImages().empty());
  EXPECT_EQ(log.Count("HTML page"), 1);
}

TEST_F(Download, AnOversizedImageIsRefusedAndRemoved) {
  int copied = 0;
  EXPECT_EQ(Run(FServer->Url("big/"), &copied).size(), 1u);
  EXPECT_EQ(copied, 1);
  EXPECT_EQ(CachedImages(), std::vector<std::string>{"small.jpg"});
}

TEST_F(Download, ImagesOfAFolderCopiedWholeAreFoundInItsNailsFolder) {
  EXPECT_EQ(Run(FServer->Url("whole/")).size(), 1u);
  EXPECT_EQ(CachedImages(), (std::vector<std::string>{"n1.jpg", "n2.jpg"}));
}

TEST_F(Download, NoImageNoLoadAndNoAddressNoTraffic) {
  WriteAll(FCache + "nails/gone.jpg", "another recording's");
  EXPECT_TRUE(Run(FServer->Url("missing/")).empty());
  EXPECT_TRUE(CachedImages().empty());  // no stale image of the same name stays
  const std::string before = FServer->AccessLog();
  EXPECT_EQ(TDownload::RemoteFolderOf("nails.kyv"), "");
  EXPECT_EQ(TDownload::RemoteFolderOf("http://h/a/b.kyv"), "http://h/a/");
  EXPECT_TRUE(Run("").empty());
  EXPECT_EQ(FServer->AccessLog(), before);
}

TEST_F(Download, DownloadFileCases) {
  TInternetSession internet;
  const std::string local = FCache + "file";
  std::string reason;
  // A mark split over two blocks is not seen.
  EXPECT_TRUE(DownloadFile(internet, FServer->Url("split.txt"), local, 1 << 20, &reason)) << reason;
  EXPECT_EQ(ReadAll(local), FSplitMark);
  // A status other than 2xx writes nothing, whatever the page says.
  fs::remove(local);
  EXPECT_FALSE(DownloadFile(internet, FServer->Url("nothing.jpg"), local, 1 << 20, &reason));
  EXPECT_EQ(reason, kNotFoundFailure);
  EXPECT_FALSE(fs::exists(local));
  // Longer than allowed: nothing kept.
  EXPECT_FALSE(DownloadFile(internet, FServer->Url("split.txt"), local, 1000, &reason));
  EXPECT_FALSE(fs::exists(local));
  // A symbolic link is not followed.
  fs::create_symlink(FCacheParent.Path() / "target", local);
  EXPECT_FALSE(DownloadFile(internet, FServer->Url("split.txt"), local, 1 << 20, &reason));
  EXPECT_FALSE(fs::exists(FCacheParent.Path() / "target"));
}

TEST_F(Download, DescriptionFilesGoToTheCacheFolder) {
  EXPECT_EQ(DownloadDescriptionFile(FServer->Url("group.sms"), FCache), FCache + "Kavrindel.sms");
  EXPECT_EQ(ReadAll(FCache + "Kavrindel.sms"), ReadAll(FRoot->Path() / "group.sms"));
  fs::remove(FCache + "Kavrindel.sms");
  for (const char* name : {"huge.sms", "absent.sms"}) {
    try {
      DownloadDescriptionFile(FServer->Url(name), FCache);
      ADD_FAILURE() << name;
    } catch (const EKyvError& e) {
      EXPECT_EQ(e.Message(), "Fail to download file: " + FServer->Url(name));
    }
  }
  EXPECT_FALSE(fs::exists(FCache + "Kavrindel.sms"));  // neither failure left a file
}

TEST(DownloadRequest, AsksPastEveryCache) {
  test::TScriptedHttpServer server({'0', '=', 'a'});
  ASSERT_TRUE(server.Started());
  test::TTempFolder cache("kyv_cache");
  TInternetSession internet;
  EXPECT_TRUE(DownloadFile(internet, server.Url("a b/nails.xml"), (cache / "n").string(), 100));
  EXPECT_EQ(ReadAll(cache / "n"), "0=a");
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.rfind("GET /a%20b/nails.xml HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("Cache-Control: no-cache\r\n"), std::string::npos);
  EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos);
}

TEST(DownloadStall, FreeingDuringAStalledTransferReturnsPromptly) {
  TStallingServer server;
  test::TTempFolder cache("kyv_cache");
  fs::create_directory(cache / "nails");
  TWindow window;
  TThreadPtr<TDownload> download =
      TThread::Create<TDownload>(TDownload::RemoteFolderOf(server.Url("rec.kyv")),
                                 cache.Path().string() + "/", window.Handle());
  ASSERT_TRUE(server.WaitStalled());
  const auto start = std::chrono::steady_clock::now();
  download.reset();  // the server still sends nothing
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(window.Queue().Count(), 0u);
}

TEST(DownloadStall, AStalledServerTimesOut) {
  TStallingServer server;
  test::TTempFolder cache("kyv_cache");
  TInternetSession internet({}, TInternetTimeouts{1000, 1});
  std::string reason;
  EXPECT_FALSE(
      DownloadFile(internet, server.Url("nails.xml"), (cache / "n").string(), 1 << 20, &reason));
  EXPECT_NE(reason.find("too slow"), std::string::npos) << reason;
  EXPECT_EQ(ReadAll(cache / "n"), "0=a.jpg\n");  // the partial file stays
}

}  // namespace
}  // namespace kyv
