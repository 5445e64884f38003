#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nails/NailRecord.h"
#include "nails/NailsCreator.h"
#include "nails/NailsIndex.h"
#include "nails/NailsSink.h"
#include "platform/Window.h"
#include "context/UserMessages.h"
#include "support/TempFolder.h"

namespace kyv {
namespace {

struct TSeen {
  int32_t Seconds;
  std::string Path;
  bool operator==(const TSeen&) const = default;
};

void WriteIndex(const test::TTempFolder& folder, const std::string& text) {
  std::ofstream(folder / "nails.xml", std::ios::binary) << text;
}

// Runs a creator on the folder to its end and takes what it posted, in order.
std::vector<TSeen> RunCreator(const std::string& dir) {
  TWindow window;
  TThreadPtr<TNailsCreator> creator = TThread::Create<TNailsCreator>(dir, window.Handle());
  creator->WaitFor();
  std::vector<TSeen> seen;
  TMessage message;
  while (window.Queue().Peek(message)) {
    EXPECT_EQ(message.Msg, UM_NAIL);
    EXPECT_EQ(message.LParam, 0);
    const std::unique_ptr<TNailRecord> record = TakeNailRecord(message);
    seen.push_back({record->Seconds, NailPath(*record)});
    // Zero-filled after the path, as the handler of the record expects.
    EXPECT_TRUE(std::all_of(record->Path + record->PathLength, record->Path + kNailPathBytes,
                            [](char c) { return c == 0; }));
  }
  EXPECT_EQ(creator->Posted(), seen.size());
  return seen;
}

// Line i of a generated index: time i seconds, image "L<i>.jpg".
std::string GeneratedIndex(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i)
    text += std::to_string(i * 1000) + "=L" + std::to_string(i) + ".jpg\r\n";
  return text;
}

// The 121-line example worked out by hand: every line but the skipped ones, the doubled ones
// twice.
std::vector<size_t> Lines121() {
  const std::vector<size_t> skipped = {2, 10, 17, 32, 47, 62, 70, 77, 92, 107};
  const std::vector<size_t> doubled = {15, 30, 45, 60, 75, 90, 105, 112, 119};
  std::vector<size_t> lines;
  for (size_t i = 0; i <= 120; ++i) {
    if (std::count(skipped.begin(), skipped.end(), i)) continue;
    lines.push_back(i);
    if (std::count(doubled.begin(), doubled.end(), i)) lines.push_back(i);
  }
  return lines;
}

TEST(NailsCreator, IndexCases) {
  test::TTempFolder folder("kyv_nails");
  const std::string dir = folder.Path().string() + "/";
  const std::string nails = dir + "nails/";
  const size_t room = kNailPathBytes - nails.size();  // name length whose path just does not fit
  struct TCase {
    const char* Name;
    std::string Index;
    std::vector<TSeen> Expected;  // when empty, the generated lines below
    std::vector<size_t> GeneratedLines = {};
  };
  const TCase cases[] = {
      {"three lines",
       "0=0001.jpg\r\n60000=0002.jpg\r\n125000=0003.jpg\r\n",
       {{0, nails + "0001.jpg"}, {60, nails + "0002.jpg"}, {125, nails + "0003.jpg"}}},
      {"the 121-line example", GeneratedIndex(121), {}, Lines121()},
      {"an empty fourth line of ten",
       "0=a.jpg\n1000=b.jpg\n2000=c.jpg\n \t\n4000=e.jpg\n5000=f\n6000=g\n7000=h\n8000=i\n9000=j\n",
       {{0, nails + "a.jpg"}, {1, nails + "b.jpg"}, {2, nails + "c.jpg"}}},
      {"abc as the second time", "0=a.jpg\rabc=b.jpg\r2000=c.jpg\r", {{0, nails + "a.jpg"}}},
      {"61999 ms", "61999=a.jpg", {{61, nails + "a.jpg"}}},
      {"a repeated time takes the first file name",
       "0=a.jpg\n5000=b.jpg\n5000=c.jpg\n",
       {{0, nails + "a.jpg"}, {5, nails + "b.jpg"}, {5, nails + "b.jpg"}}},
      {"names that leave the folder are skipped",
       "0=../x.jpg\n1000=/etc/passwd\n2000=ok.jpg\n3000=a\\b\n4000=.hidden\n",
       {{2, nails + "ok.jpg"}}},
      {"a path of 2048 bytes is skipped, 2047 kept",
       "0=" + std::string(room, 'a') + "\n1000=" + std::string(room - 1, 'b') + "\n",
       {{1, nails + std::string(room - 1, 'b')}}},
      {"a line without '=' ends the run", "0=a.jpg\n1000\n2000=c.jpg\n", {{0, nails + "a.jpg"}}},
      {"no lines", "", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteIndex(folder, c.Index);
    std::vector<TSeen> expected = c.Expected;
    for (const size_t line : c.GeneratedLines)
      expected.push_back({static_cast<int32_t>(line), nails + "L" + std::to_string(line) + ".jpg"});
    EXPECT_EQ(RunCreator(dir), expected);
  }
}

TEST(NailsCreator, FiveHundredLinesGiveTheEndsAnd118AscendingBetween) {
  test::TTempFolder folder("kyv_nails");
  WriteIndex(folder, GeneratedIndex(500));
  const std::vector<TSeen> seen = RunCreator(folder.Path().string());  // no trailing '/'
  ASSERT_EQ(seen.size(), 120u);
  const std::string nails = folder.Path().string() + "/nails/";
  EXPECT_EQ(seen.front(), (TSeen{0, nails + "L0.jpg"}));
  EXPECT_EQ(seen.back(), (TSeen{499, nails + "L499.jpg"}));
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1].Seconds, seen[i].Seconds);
}

TEST(NailsCreator, MissingOversizedOrOddIndexPostsNothing) {
  test::TTempFolder folder("kyv_nails");
  EXPECT_TRUE(RunCreator(folder.Path().string()).empty());
  std::string big = GeneratedIndex(3);
  big.resize(kMaxNailsIndexBytes + 1, '\n');
  WriteIndex(folder, big);
  EXPECT_TRUE(RunCreator(folder.Path().string()).empty());
  std::filesystem::remove(folder / "nails.xml");
  std::filesystem::create_directory(folder / "nails.xml");
  EXPECT_TRUE(RunCreator(folder.Path().string()).empty());
}

TEST(NailsCreator, RecordsPostedToAGoneWindowAreFreedAndTheRunEnds) {
  test::TTempFolder folder("kyv_nails");
  WriteIndex(folder, GeneratedIndex(10));
  HWND gone;
  {
    TWindow window;
    gone = window.Handle();
  }
  TThreadPtr<TNailsCreator> creator = TThread::Create<TNailsCreator>(folder.Path(), gone);
  creator->WaitFor();
  EXPECT_EQ(creator->Posted(), 0u);  // the leak check of the sanitizer build sees the rest
}

// Stands for the thumbnail strip: records on which thread and with what it was loaded.
class TRecordingSink : public TNailsSink {
 public:
  void LoadNails(const std::string& Dir) override {
    Dirs.push_back(Dir);
    Thread = std::this_thread::get_id();
  }
  std::vector<std::string> Dirs;
  std::thread::id Thread;
};

TEST(NailsSink, LoadIsCarriedToTheWindowsThread) {
  TWindow window;
  TRecordingSink sink;
  std::thread worker([&] { EXPECT_TRUE(PostLoadNails(window.Handle(), "/cache/kyvplayer/")); });
  worker.join();
  EXPECT_TRUE(sink.Dirs.empty());  // nothing happens until the window's thread handles it
  TMessage message;
  ASSERT_TRUE(window.Queue().Peek(message));
  ASSERT_EQ(message.Msg, UM_LOAD_NAILS);
  DeliverLoadNails(message, sink);
  EXPECT_EQ(sink.Dirs, std::vector<std::string>{"/cache/kyvplayer/"});
  EXPECT_EQ(sink.Thread, std::this_thread::get_id());

  // Blocks still queued when the window goes are freed, not leaked.
  EXPECT_TRUE(PostLoadNails(window.Handle(), "/a/"));
  EXPECT_TRUE(PostNail(window.Handle(), TNailEntry{"/a/nails/x.jpg", 1, 0}));
  DiscardNailsMessages(window.Queue());
  EXPECT_EQ(window.Queue().Count(), 0u);
  EXPECT_FALSE(PostLoadNails(0, "/a/"));
}

}  // namespace
}  // namespace kyv
