// The web stream against real servers: nginx and vsftpd as child processes, and a scripted
// server in-process for the replies a good server never gives.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <vector>

#include "decoder/RecordingHead.h"
#include "source/InternetStream.h"
#include "source/UrlEscape.h"
#include "support/FtpServer.h"
#include "support/LatencyProxy.h"
#include "support/NginxServer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TempFolder.h"
#include "support/TestLog.h"
#include "writer/RecordingFile.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

using test::TLogWatch;

constexpr const char* kAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; .NET CLR 1.1.4322)";

std::vector<uint8_t> Pattern(size_t size, uint64_t seed = 0x9E3779B97F4A7C15ull) {
  std::vector<uint8_t> bytes(size);
  uint64_t x = seed;
  for (size_t i = 0; i < size; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(bytes.data() + i, &x, std::min<size_t>(8, size - i));
  }
  return bytes;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
  at = std::min(at, bytes.size());
  count = std::min(count, bytes.size() - at);
  return {bytes.begin() + static_cast<ptrdiff_t>(at),
          bytes.begin() + static_cast<ptrdiff_t>(at + count)};
}

// Reads count bytes at position into a buffer of exactly that size, so that the sanitizer
// catches any write past it; returns the bytes placed.
std::vector<uint8_t> ReadAt(TInternetStream& stream, int64_t position, size_t count) {
  stream.Seek(position, TSeekOrigin::soBeginning);
  std::vector<uint8_t> buffer(count);
  buffer.resize(stream.Read(buffer.data(), count));
  return buffer;
}

// ---------------------------------------------------------------------------------------------
// The scripted server.

class ScriptedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FServer.Started());
    FStream = std::make_unique<TInternetStream>(FServer.Url("rec/file.kyv"));
  }

  const std::vector<uint8_t> FContent = Pattern(200000);
  test::TScriptedHttpServer FServer{FContent};
  std::unique_ptr<TInternetStream> FStream;
};

TEST_F(ScriptedServer, SendsTheRangeHeaderAndAgentAndNothingForCountZero) {
  char byte = 0;
  EXPECT_EQ(FStream->Read(&byte, 0), 0u);
  EXPECT_TRUE(FServer.Requests().empty());

  EXPECT_EQ(ReadAt(*FStream, 100, 50), Slice(FContent, 100, 50));
  const std::vector<std::string> requests = FServer.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& request = requests[0];
  EXPECT_EQ(request.rfind("GET /rec/file.kyv HTTP/1.1\r\n", 0), 0u) << request;
  // The first range after a jump is the read-ahead's smallest.
  EXPECT_NE(request.find("\r\nRANGE:bytes=100-131171\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\r\nUser-Agent: " + std::string(kAgent) + "\r\n"), std::string::npos)
      << request;
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(FServer.Port()) + "\r\n"),
            std::string::npos);
  // Only the one range header; no accept types.
  EXPECT_EQ(request.find("Range:"), std::string::npos) << request;
  EXPECT_EQ(request.find("range:"), std::string::npos) << request;
  EXPECT_EQ(request.find("Accept:"), std::string::npos) << request;
}

TEST_F(ScriptedServer, HoldsOneConnectionUntilCloseHandles) {
  EXPECT_EQ(ReadAt(*FStream, 0, 1000), Slice(FContent, 0, 1000));
  EXPECT_EQ(ReadAt(*FStream, 5000, 1000), Slice(FContent, 5000, 1000));
  EXPECT_EQ(ReadAt(*FStream, 199990, 1000), Slice(FContent, 199990, 10));
  EXPECT_EQ(FServer.Connections(), 1u);
  FStream->CloseHandles();
  EXPECT_EQ(ReadAt(*FStream, 7, 3), Slice(FContent, 7, 3));
  EXPECT_EQ(FServer.Connections(), 2u);
}

TEST_F(ScriptedServer, WholeFileReplyGivesTheBytesAtThePosition) {
  FServer.SetBehaviour(test::THttpBehaviour::IgnoreRange);
  TLogWatch log;
  EXPECT_EQ(ReadAt(*FStream, 0, 4096), Slice(FContent, 0, 4096));
  EXPECT_EQ(FStream->Position(), 4096);
  EXPECT_EQ(ReadAt(*FStream, 150000, 4096), Slice(FContent, 150000, 4096));
  EXPECT_EQ(FStream->Position(), 150000 + 4096);
  // Near the end the reply runs out before the buffer is full.
  EXPECT_EQ(ReadAt(*FStream, 199000, 4096), Slice(FContent, 199000, 1000));
  EXPECT_EQ(FStream->Position(), 200000);
  EXPECT_EQ(log.Added(), "");
}

TEST_F(ScriptedServer, NeverWritesPastTheBufferWhenTheServerSendsMore) {
  FServer.SetBehaviour(test::THttpBehaviour::OverSend);
  std::vector<uint8_t> buffer(1000 + 64, 0x5A);
  FStream->Seek(300, TSeekOrigin::soBeginning);
  EXPECT_EQ(FStream->Read(buffer.data(), 1000), 1000u);
  EXPECT_EQ(Slice(buffer, 0, 1000), Slice(FContent, 300, 1000));
  EXPECT_EQ(Slice(buffer, 1000, 64), std::vector<uint8_t>(64, 0x5A));
  EXPECT_EQ(FStream->Position(), 1300);
}

TEST_F(ScriptedServer, ReplyForAnotherRangeIsRefused) {
  FServer.SetBehaviour(test::THttpBehaviour::ShiftedRange);
  TLogWatch log;
  EXPECT_TRUE(ReadAt(*FStream, 100, 50).empty());
  EXPECT_EQ(FStream->Position(), 100);
  EXPECT_EQ(log.Count(" InternetReadFile Error :the reply's range starts at byte 101, not at 100"),
            1)
      << log.Added();
}

TEST_F(ScriptedServer, NotFoundIsLoggedAndLeavesThePosition) {
  FServer.SetBehaviour(test::THttpBehaviour::NotFound);
  TLogWatch log;
  EXPECT_TRUE(ReadAt(*FStream, 10, 20).empty());
  EXPECT_EQ(FStream->Position(), 10);
  EXPECT_EQ(log.Count(" GetRequestStatusCode Error : 404, " + FStream->Url() +
                      ", RANGE:bytes=10-131081\r\n\r\n"),
            1)
      << log.Added();
  // The connection is still good for the next request.
  FServer.SetBehaviour(test::THttpBehaviour::Ranged);
  EXPECT_EQ(ReadAt(*FStream, 10, 20), Slice(FContent, 10, 20));
}

TEST_F(ScriptedServer, RangeNotSatisfiablePastTheEndReadsNothing) {
  TLogWatch log;
  EXPECT_TRUE(ReadAt(*FStream, 200000, 10).empty());
  EXPECT_EQ(FStream->Position(), 200000);
  EXPECT_EQ(log.Count("GetRequestStatusCode Error : 416, "), 1) << log.Added();
}

TEST_F(ScriptedServer, BrokenConnectionReturnsTheBytesReceived) {
  FServer.SetBehaviour(test::THttpBehaviour::BreakAfter, 300);
  TLogWatch log;
  EXPECT_EQ(ReadAt(*FStream, 1000, 5000), Slice(FContent, 1000, 300));
  EXPECT_EQ(FStream->Position(), 1300);
  EXPECT_EQ(log.Count(" InternetReadFile Error :"), 1) << log.Added();
  // The next read opens a new connection.
  FServer.SetBehaviour(test::THttpBehaviour::Ranged);
  EXPECT_EQ(ReadAt(*FStream, 1300, 100), Slice(FContent, 1300, 100));
}

TEST_F(ScriptedServer, AbortEndsAStalledReadAndLaterReadsUntilCloseHandles) {
  FServer.SetBehaviour(test::THttpBehaviour::Stall);
  TLogWatch log;
  std::vector<uint8_t> buffer(4096);
  auto reading =
      std::async(std::launch::async, [&] { return FStream->Read(buffer.data(), buffer.size()); });
  ASSERT_TRUE(FServer.WaitUntilStalled(std::chrono::seconds(10)));
  const auto aborted = std::chrono::steady_clock::now();
  FStream->Abort();
  // A hang guard, not a measurement: libcurl looks at the flag at least once a second.
  ASSERT_EQ(reading.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  const auto took = std::chrono::steady_clock::now() - aborted;
  EXPECT_EQ(reading.get(), 0u);
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_EQ(FStream->Position(), 0);
  EXPECT_EQ(log.Added(), "");

  const size_t requests = FServer.Requests().size();
  EXPECT_EQ(FStream->Read(buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(FServer.Requests().size(), requests);

  FServer.ReleaseStall();
  FServer.SetBehaviour(test::THttpBehaviour::Ranged);
  FStream->CloseHandles();
  EXPECT_FALSE(FStream->Aborted());
  EXPECT_EQ(ReadAt(*FStream, 0, 16), Slice(FContent, 0, 16));
}

TEST_F(ScriptedServer, SilentServerTimesOut) {
  FServer.SetBehaviour(test::THttpBehaviour::Stall);
  FStream->SetTimeouts({10000, 1});
  TLogWatch log;
  EXPECT_TRUE(ReadAt(*FStream, 0, 100).empty());
  EXPECT_EQ(log.Count(" InternetReadFile Error :"), 1) << log.Added();
  FServer.ReleaseStall();
}

TEST(InternetStreamNoServer, RefusedConnectionIsLogged) {
  const uint16_t port = test::FreeLoopbackPort();
  TInternetStream stream("http://127.0.0.1:" + std::to_string(port) + "/x.kyv");
  TLogWatch log;
  std::vector<uint8_t> buffer(10);
  EXPECT_EQ(stream.Read(buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(log.Count(" HttpSendRequest Error : "), 1) << log.Added();
}

// ---------------------------------------------------------------------------------------------
// Read-ahead against the scripted server.

// The "a-b" of each request's range header, in order.
std::vector<std::string> Ranges(const test::TScriptedHttpServer& server) {
  std::vector<std::string> ranges;
  for (const std::string& request : server.Requests()) {
    const size_t at = request.find("\r\nRANGE:bytes=");
    const size_t from = at + std::strlen("\r\nRANGE:bytes=");
    ranges.push_back(
        at == std::string::npos ? "none" : request.substr(from, request.find("\r\n", from) - from));
  }
  return ranges;
}

// Reads from Position to the end of the stream in pieces of Piece bytes, each into a buffer of
// exactly that size.
std::vector<uint8_t> ReadToEnd(TInternetStream& stream, int64_t position, size_t piece) {
  stream.Seek(position, TSeekOrigin::soBeginning);
  std::vector<uint8_t> all, buffer(piece);
  for (;;) {
    const size_t n = stream.Read(buffer.data(), piece);
    all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(n));
    if (n < piece) return all;
  }
}

class ReadAhead : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FServer.Started());
    FStream = std::make_unique<TInternetStream>(FServer.Url("rec/file.kyv"));
  }

  static constexpr size_t kSize = 3 * 1024 * 1024 + 4321;
  const std::vector<uint8_t> FContent = Pattern(kSize, 11);
  test::TScriptedHttpServer FServer{FContent};
  std::unique_ptr<TInternetStream> FStream;
};

TEST_F(ReadAhead, PiecesAcrossRangeAndBufferBoundariesAreTheFileBytes) {
  // Pieces that divide no range size, one as large as the largest range, one larger.
  for (const size_t piece : {size_t{32768}, size_t{7777}, size_t{1} << 20, size_t{1500000}}) {
    TInternetStream stream(FServer.Url("rec/file.kyv"));
    TLogWatch log;
    EXPECT_TRUE(ReadToEnd(stream, 0, piece) == FContent) << piece;
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(kSize));
    EXPECT_EQ(log.Added(), "");
  }
  // The ranges grow while reading goes forward, on one connection; the last runs to the end.
  TLogWatch log;
  EXPECT_TRUE(ReadToEnd(*FStream, 0, 32768) == FContent);
  const std::vector<std::string> ranges = Ranges(FServer);
  ASSERT_GE(ranges.size(), 5u);
  // Once the size is known, nothing is asked for at the end.
  const std::vector<std::string> last(ranges.end() - 5, ranges.end());
  EXPECT_EQ(last, (std::vector<std::string>{"0-131071", "131072-655359", "655360-1703935",
                                            "1703936-2752511", "2752512-3150048"}))
      << testing::PrintToString(ranges);
  EXPECT_EQ(FServer.Connections(), 5u);
}

TEST_F(ReadAhead, SeeksBackAndForthAfterReadingAhead) {
  EXPECT_EQ(ReadAt(*FStream, 0, 32), Slice(FContent, 0, 32));
  // The index at the end: one range to the end of the file.
  EXPECT_EQ(ReadAt(*FStream, kSize - 100, 16), Slice(FContent, kSize - 100, 16));
  EXPECT_EQ(ReadAt(*FStream, kSize - 84, 84), Slice(FContent, kSize - 84, 84));
  // Back to the start: still held from the first range.
  EXPECT_EQ(ReadAt(*FStream, 32, 65536), Slice(FContent, 32, 65536));
  EXPECT_EQ(Ranges(FServer), (std::vector<std::string>{"0-131071", "3149949-3150048"}));
  // Forward within the range, then across its end, where a larger one follows.
  EXPECT_EQ(ReadAt(*FStream, 100000, 50000), Slice(FContent, 100000, 50000));
  // Far forward and far back: each a new small range.
  EXPECT_EQ(ReadAt(*FStream, 2000000, 40000), Slice(FContent, 2000000, 40000));
  EXPECT_EQ(ReadAt(*FStream, 1000, 1000), Slice(FContent, 1000, 1000));
  EXPECT_EQ(ReadAt(*FStream, 2030000, 5000), Slice(FContent, 2030000, 5000));
  EXPECT_EQ(Ranges(FServer),
            (std::vector<std::string>{"0-131071", "3149949-3150048", "131072-655359",
                                      "2000000-2131071", "1000-132071"}));
  // A range left early costs its connection only when its rest is slow to come.
  EXPECT_LE(FServer.Connections(), 2u);
}

TEST_F(ReadAhead, ServerClosingKeptConnectionsIsNoFailure) {
  FServer.SetBehaviour(test::THttpBehaviour::CloseAfterReply);
  TLogWatch log;
  EXPECT_TRUE(ReadToEnd(*FStream, 0, 32768) == FContent);
  EXPECT_EQ(ReadAt(*FStream, 10, 10), Slice(FContent, 10, 10));
  EXPECT_EQ(ReadAt(*FStream, 3000000, 10), Slice(FContent, 3000000, 10));
  EXPECT_GE(FServer.Connections(), 3u);
  EXPECT_EQ(log.Added(), "");
  EXPECT_EQ(FStream->LastFailure(), "");
}

TEST_F(ReadAhead, RangeDroppedWhileNobodyReadIsAskedForAgain) {
  // The server stops sending the first range after 50000 bytes and drops the connection
  // while the first read has long returned.
  FServer.SetBehaviour(test::THttpBehaviour::BreakAfter, 50000);
  TLogWatch log;
  EXPECT_EQ(ReadAt(*FStream, 0, 1000), Slice(FContent, 0, 1000));
  FServer.SetBehaviour(test::THttpBehaviour::Ranged);
  EXPECT_EQ(ReadAt(*FStream, 1000, 200000), Slice(FContent, 1000, 200000));
  EXPECT_EQ(log.Added(), "");
  const std::vector<std::string> ranges = Ranges(FServer);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[1].substr(0, 6), "50000-");
}

TEST_F(ReadAhead, ServerIgnoringRangesSendsAtMostTwiceTheFileForAPlay) {
  FServer.SetBehaviour(test::THttpBehaviour::IgnoreRange);
  test::TLatencyProxy counter(FServer.Port(), std::chrono::milliseconds(0));
  ASSERT_TRUE(counter.Started());
  TInternetStream stream(counter.Url("rec/file.kyv"));
  TLogWatch log;
  // What a reader does: header, index at the end, then the frames from the start in 32 KiB.
  EXPECT_EQ(ReadAt(stream, 0, 32), Slice(FContent, 0, 32));
  EXPECT_EQ(ReadAt(stream, kSize - 100, 100), Slice(FContent, kSize - 100, 100));
  const std::vector<uint8_t> played = ReadToEnd(stream, 32, 32768);
  EXPECT_TRUE(played == Slice(FContent, 32, kSize));
  EXPECT_LE(counter.BytesFromServer(), 2 * kSize + 4096);
  // Seeks backwards: served from what is held, or from a new answer.
  EXPECT_EQ(ReadAt(stream, 5, 100000), Slice(FContent, 5, 100000));
  EXPECT_EQ(ReadAt(stream, 1500000, 100000), Slice(FContent, 1500000, 100000));
  EXPECT_EQ(log.Added(), "");
  EXPECT_LE(FServer.Requests().size(), 4u);
}

TEST_F(ReadAhead, FailuresKeepTheirCauseForAPerson) {
  TLogWatch log;
  FServer.SetBehaviour(test::THttpBehaviour::NotFound);
  EXPECT_TRUE(ReadAt(*FStream, 4096, 10).empty());
  EXPECT_EQ(FStream->LastFailure(), "HTTP 404 for bytes 4096-135167");
  FServer.SetBehaviour(test::THttpBehaviour::ShiftedRange);
  EXPECT_TRUE(ReadAt(*FStream, 100, 10).empty());
  EXPECT_EQ(FStream->LastFailure(),
            "the server sent bytes from 101 when asked for bytes 100-131171");
  FServer.SetBehaviour(test::THttpBehaviour::Ranged);
  TInternetStream fresh(FServer.Url("rec/file.kyv"));
  EXPECT_TRUE(ReadAt(fresh, kSize, 10).empty());
  EXPECT_EQ(fresh.LastFailure(), "HTTP 416 for bytes 3150049-3281120");
  EXPECT_EQ(log.Count(" InternetReadFile Error :") + log.Count(" GetRequestStatusCode Error : "),
            3);
  // A read that gets all it asked for clears it.
  EXPECT_EQ(ReadAt(*FStream, 0, 10), Slice(FContent, 0, 10));
  EXPECT_EQ(FStream->LastFailure(), "");

  TInternetStream refused("http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/x");
  std::vector<uint8_t> buffer(10);
  EXPECT_EQ(refused.Read(buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(refused.LastFailure(), "connection refused");
}

// ---------------------------------------------------------------------------------------------
// nginx serving generated recordings.

class Nginx : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FFolder = std::make_unique<test::TTempFolder>("kyv_http_root");
    TSampleOptions options;
    options.Width = 320;
    options.Height = 240;
    options.Seconds = 12;
    options.KeyFrameInterval = 3000;
    options.NailInterval = 0;
    FSummary = WriteSampleRecording(FFolder->Path() / "录像 1.kyv", options);
    FRecording = ReadFile(FFolder->Path() / "录像 1.kyv");
    FServer = std::make_unique<test::TNginxServer>(FFolder->Path());
  }
  static void TearDownTestSuite() {
    FServer.reset();
    FFolder.reset();
  }
  void SetUp() override {
    if (!FServer->Started()) GTEST_SKIP() << "nginx is not available: " << FServer->Reason();
  }

  static std::unique_ptr<test::TTempFolder> FFolder;
  static std::unique_ptr<test::TNginxServer> FServer;
  static TSampleSummary FSummary;
  static std::vector<uint8_t> FRecording;
};

std::unique_ptr<test::TTempFolder> Nginx::FFolder;
std::unique_ptr<test::TNginxServer> Nginx::FServer;
TSampleSummary Nginx::FSummary;
std::vector<uint8_t> Nginx::FRecording;

TEST_F(Nginx, RangedReadsReturnTheFileBytes) {
  // The address is given as the user writes it: a Chinese name with a space.
  TInternetStream stream(FServer->Url("录像 1.kyv"));
  const size_t size = FRecording.size();
  ASSERT_GT(size, 100000u);
  for (const size_t at : {size_t{0}, size_t{1}, size_t{32}, size / 2, size - 100}) {
    EXPECT_EQ(ReadAt(stream, static_cast<int64_t>(at), 100), Slice(FRecording, at, 100)) << at;
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(at + 100));
  }
  // Asking past the end gives what there is, then nothing.
  EXPECT_EQ(ReadAt(stream, static_cast<int64_t>(size - 1), 4096), Slice(FRecording, size - 1, 1));
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(size));
  // The answers told the size: past it nothing is asked for, and nothing fails.
  TLogWatch log;
  EXPECT_TRUE(ReadAt(stream, static_cast<int64_t>(size), 10).empty());
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(size));
  EXPECT_EQ(log.Added(), "");
  // A fresh stream asks and hears that there is nothing.
  TInternetStream fresh(FServer->Url("录像 1.kyv"));
  EXPECT_TRUE(ReadAt(fresh, static_cast<int64_t>(size), 10).empty());
  EXPECT_EQ(log.Count("GetRequestStatusCode Error : 416, "), 1) << log.Added();
}

TEST_F(Nginx, HeaderAndIndexMatchTheLocalFile) {
  TInternetStream stream(FServer->Url("录像 1.kyv"));
  const TReadAt overHttp = [&](uint64_t offset, void* buffer, size_t count) {
    stream.Seek(static_cast<int64_t>(offset), TSeekOrigin::soBeginning);
    return stream.Read(buffer, count);
  };
  const TRecordingFile local(FFolder->Path() / "录像 1.kyv");
  const TReadAt overFile = [&](uint64_t offset, void* buffer, size_t count) {
    return local.ReadAt(offset, buffer, count);
  };
  const TRecordingHead remote = ReadRecordingHead(overHttp);
  const TRecordingHead expected = ReadRecordingHead(overFile);
  uint8_t a[TFileHeader::kSize], b[TFileHeader::kSize];
  remote.Header.Write(a);
  expected.Header.Write(b);
  EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
  ASSERT_EQ(remote.Index.size(), expected.Index.size());
  ASSERT_EQ(remote.Index.size(), FSummary.Index.size());
  for (size_t i = 0; i < remote.Index.size(); ++i) {
    EXPECT_EQ(remote.Index[i].Time, FSummary.Index[i].Time);
    EXPECT_EQ(remote.Index[i].Offset, FSummary.Index[i].Offset);
  }
}

TEST_F(Nginx, MissingFileIsLogged) {
  TInternetStream stream(FServer->Url("none.kyv"));
  TLogWatch log;
  EXPECT_TRUE(ReadAt(stream, 0, 10).empty());
  EXPECT_EQ(log.Count(" GetRequestStatusCode Error : 404, " + stream.Url() +
                      ", RANGE:bytes=0-131071\r\n\r\n"),
            1)
      << log.Added();
}

TEST_F(Nginx, LargeFileReadIn32KiBRangesEqualsTheFile) {
  const std::vector<uint8_t> content = Pattern(50 * 1024 * 1024 + 12345, 42);
  WriteFile(FFolder->Path() / "large.bin", content);
  TInternetStream stream(FServer->Url("large.bin"));
  std::vector<uint8_t> read(content.size());
  size_t total = 0;
  for (;;) {
    const size_t n = stream.Read(read.data() + total, std::min<size_t>(32768, read.size() - total));
    total += n;
    if (n == 0 || total == read.size()) break;
  }
  EXPECT_EQ(total, content.size());
  EXPECT_TRUE(read == content);
  std::filesystem::remove(FFolder->Path() / "large.bin");
}

// ---------------------------------------------------------------------------------------------
// vsftpd.

TEST(Ftp, RangedReadsReturnTheFileBytes) {
  test::TTempFolder root("kyv_ftp_root");
  const std::vector<uint8_t> content = Pattern(300000, 7);
  WriteFile(root.Path() / "file.kyv", content);
  test::TFtpServer server(root.Path());
  if (!server.Started()) GTEST_SKIP() << "vsftpd is not available: " << server.Reason();
  TInternetStream stream(server.Url("file.kyv"));
  TLogWatch log;
  for (const size_t at : {size_t{0}, size_t{4096}, size_t{150000}, content.size() - 100}) {
    EXPECT_EQ(ReadAt(stream, static_cast<int64_t>(at), 100), Slice(content, at, 100)) << at;
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(at + 100));
  }
  EXPECT_EQ(log.Added(), "");
  EXPECT_EQ(ReadAt(stream, static_cast<int64_t>(content.size() - 1), 4096),
            Slice(content, content.size() - 1, 1));
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(content.size()));
  EXPECT_TRUE(ReadAt(stream, static_cast<int64_t>(content.size()), 10).empty());
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(content.size()));

  TInternetStream missing(server.Url("none.kyv"));
  TLogWatch missingLog;
  EXPECT_TRUE(ReadAt(missing, 0, 10).empty());
  EXPECT_EQ(missingLog.Count(" InternetReadFile Error :"), 1) << missingLog.Added();
}

}  // namespace
}  // namespace kyv
