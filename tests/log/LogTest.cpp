// The daily log: its line and file name, its folder rules and fallback, failures that never
// escape, and several processes appending at once.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "LetterNumber.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/System.h"

extern char** environ;

namespace kyv {
namespace {

namespace fs = std::filesystem;

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = TempFolder() + "kyv-log-XXXXXX";
    FPath = mkdtemp(pattern.data());
  }
  ~TTempDir() {
    std::error_code error;
    fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(FPath, error);
  }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// Sets an environment variable for one scope.
class TEnv {
 public:
  TEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old, FHad = true;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TEnv() {
    if (FHad)
      setenv(FName.c_str(), FOld.c_str(), 1);
    else
      unsetenv(FName.c_str());
  }
  TEnv(const TEnv&) = delete;
  TEnv& operator=(const TEnv&) = delete;

 private:
  std::string FName, FOld;
  bool FHad = false;
};

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

// Every line of every day's file in Folder (a test may run across midnight), without CR LF;
// each file must end with CR LF.
std::vector<std::string> LinesIn(const std::string& folder) {
  std::vector<std::string> lines;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string text = ReadAll(entry.path());
    EXPECT_TRUE(text.ends_with("\r\n")) << entry.path();
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::string ProgramName() {
  return fs::path(HostProgramPath()).filename().string();
}

TEST(LogLine, ProgramTimeAndTextThenCrLf) {
  EXPECT_EQ(TLog::FormatLine("viewer.exe", LocalTime(2006, 3, 1, 9, 5, 7), "x"),
            "viewer.exe ---> 09:05:07 x\r\n");
  // A message with its own line break is written unchanged.
  EXPECT_EQ(TLog::FormatLine("p", LocalTime(2006, 3, 1, 23, 59, 0), "a\r\nb"),
            "p ---> 23:59:00 a\r\nb\r\n");
}

TEST(LogFolder, LogSubfolderWithOneTrailingSeparatorDropped) {
  TTempDir dir;
  for (const char* suffix : {"/app", "/app/", "/app\\"}) {
    TLog log(dir.Path() + suffix);
    EXPECT_EQ(log.Folder(), dir.Path() + "/app/Log") << suffix;
    EXPECT_TRUE(fs::is_directory(log.Folder()));
  }
  TLog nested(dir.Path() + "/a/b/c");
  EXPECT_TRUE(fs::is_directory(dir.Path() + "/a/b/c/Log"));
  EXPECT_EQ(nested.FileName(LocalTime(2006, 3, 1, 0, 0, 0)),
            dir.Path() + "/a/b/c/Log/2006-03-01.log");
}

TEST(LogFolder, FallsBackToTheStateFolderWhenTheProgramFolderCannotBeUsed) {
  TTempDir dir;
  // A regular file in the way: no one can make a folder under it, root included.
  std::ofstream(dir.Path() + "/blocked") << "x";
  {
    TEnv state("XDG_STATE_HOME", (dir.Path() + "/state").c_str());
    TLog log(dir.Path() + "/blocked");
    EXPECT_EQ(log.Folder(), dir.Path() + "/state/kyvplayer/Log");
    log.AddLine("kept");
    const std::vector<std::string> lines = LinesIn(log.Folder());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with(" kept"));
  }
  {
    TEnv state("XDG_STATE_HOME", nullptr);
    TEnv home("HOME", (dir.Path() + "/home").c_str());
    TLog log(dir.Path() + "/blocked");
    EXPECT_EQ(log.Folder(), dir.Path() + "/home/.local/state/kyvplayer/Log");
  }
}

TEST(LogFolder, FallsBackWhenTheProgramFolderIsReadOnly) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes into read-only folders; the fallback itself "
                    "is covered by FallsBackToTheStateFolder...";
  TTempDir dir;
  fs::create_directory(dir.Path() + "/app");
  fs::permissions(dir.Path() + "/app", fs::perms::owner_read | fs::perms::owner_exec);
  TEnv state("XDG_STATE_HOME", (dir.Path() + "/state").c_str());
  TLog log(dir.Path() + "/app");
  EXPECT_EQ(log.Folder(), dir.Path() + "/state/kyvplayer/Log");
  fs::permissions(dir.Path() + "/app", fs::perms::owner_all);
}

std::tm Today() {
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  return today;
}

TEST(LogAddLine, FirstCallCreatesTodaysFileAndLaterCallsAppend) {
  TTempDir dir;
  TLog log(dir.Path());
  const std::string before = log.FileName(Today());
  log.AddLine("first");
  log.AddLine("second");
  const std::string after = log.FileName(Today());

  // The file is named after the local day (which may have changed meanwhile).
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(log.Folder())) files.push_back(entry.path());
  ASSERT_FALSE(files.empty());
  EXPECT_TRUE(files[0] == before || files[0] == after) << files[0];
  EXPECT_TRUE(std::regex_match(fs::path(before).filename().string(),
                               std::regex(R"(\d{4}-\d\d-\d\d\.log)")));

  const std::vector<std::string> lines = LinesIn(log.Folder());
  ASSERT_EQ(lines.size(), 2u);
  const std::regex line(
      std::regex_replace(ProgramName(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
      R"( ---> ([01]\d|2[0-3]):[0-5]\d:[0-5]\d (first|second))");
  EXPECT_TRUE(std::regex_match(lines[0], line)) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], line)) << lines[1];
  EXPECT_TRUE(lines[1].ends_with("second"));
}

TEST(LogAddLine, FailureGoesToTheDebuggerOutputAndNeverRaises) {
  TTempDir dir;
  TLog log(dir.Path());
  // Today's file name taken by a folder: the file cannot be opened, whoever runs the test.
  const std::tm today = Today();
  fs::create_directory(log.FileName(today));

  testing::internal::CaptureStderr();
  log.AddLine("lost");
  const std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(output.find("ERROR: TLog.AddLine -> "), std::string::npos) << output;
  EXPECT_NE(output.find(log.FileName(today)), std::string::npos) << output;
}

TEST(LogGlobal, FolderFromTheEnvironment) {
  TTempDir dir;
  TEnv override("KYV_LOG_DIR", dir.Path().c_str());
  EXPECT_EQ(GlobalLog().Folder(), dir.Path() + "/Log");
  EXPECT_EQ(&GlobalLog(), &GlobalLog());
}

// Starts log_writer FOLDER COUNT TAG and returns its process id.
pid_t SpawnWriter(const std::string& folder, int count, const std::string& tag) {
  const std::string program = KYV_LOG_WRITER;
  const std::string countText = std::to_string(count);
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()),
                             const_cast<char*>(countText.c_str()), const_cast<char*>(tag.c_str()),
                             nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  return pid;
}

TEST(LogAddLine, SeveralProcessesAndThreadsWriteWholeLines) {
  constexpr int kPerWriter = 400;
  TTempDir dir;
  const pid_t first = SpawnWriter(dir.Path(), kPerWriter, "procA");
  const pid_t second = SpawnWriter(dir.Path(), kPerWriter, "procB");
  // This process logs too, from two threads, through one log object.
  TLog log(dir.Path());
  const std::string padding(1500, '.');
  std::vector<std::thread> threads;
  for (const char* tag : {"thrC", "thrD"}) {
    threads.emplace_back([&, tag] {
      for (int i = 0; i < kPerWriter; ++i)
        log.AddLine(std::string(tag) + " " + test::LetterNumber(i) + " " + padding);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (pid_t pid : {first, second}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const std::regex whole(R"(\S+ ---> \d\d:\d\d:\d\d (procA|procB|thrC|thrD) ([a-j]+) \.{1500})");
  std::map<std::string, int> next;  // each writer's lines come in its own order
  const std::vector<std::string> lines = LinesIn(dir.Path() + "/Log");
  EXPECT_EQ(lines.size(), 4u * kPerWriter);
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, whole)) << line.substr(0, 80);
    EXPECT_EQ(test::NumberOfLetters(match[2]), next[match[1]]++);
  }
  for (const char* tag : {"procA", "procB", "thrC", "thrD"}) EXPECT_EQ(next[tag], kPerWriter);
}

TEST(LogAddLine, RepeatedLinesAreRateLimitedWithACountOfTheRest) {
  TTempDir dir;
  TManualClock clock(1000);
  TLog log(dir.Path());
  // A flood of lines alike: a few are written, the rest counted.
  for (int i = 0; i < 200; ++i) log.AddLine("Frame at " + std::to_string(i) + " ms skipped");
  log.AddLine("another kind of line");
  std::vector<std::string> lines = LinesIn(dir.Path() + "/Log");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(lines[4].ends_with(" Frame at 4 ms skipped")) << lines[4];
  EXPECT_TRUE(lines[5].ends_with(" another kind of line")) << lines[5];
  // Once the window has passed, the next line of any kind brings the count first.
  clock.Advance(TLineLimiter::kWindowMs);
  log.AddLine("another kind of line");
  lines = LinesIn(dir.Path() + "/Log");
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_TRUE(lines[6].ends_with(" 195 more like: Frame at 199 ms skipped")) << lines[6];
  log.AddLine("Frame at 500 ms skipped");
  EXPECT_EQ(LinesIn(dir.Path() + "/Log").size(), 9u);
}

TEST(LogAddLine, AnotherProcessHoldingTheLockCostsOneLineNotAHang) {
  TTempDir dir;
  TLog log(dir.Path());
  log.AddLine("first");
  const std::string file = log.FileName(Today());
  // Another open file description of the day's file holds the lock, as a hung process would.
  const int holder = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  testing::internal::CaptureStderr();
  const auto started = std::chrono::steady_clock::now();
  log.AddLine("dropped");
  const auto waited = std::chrono::steady_clock::now() - started;
  const std::string output = testing::internal::GetCapturedStderr();
  ::close(holder);
  EXPECT_LT(waited, std::chrono::seconds(3));
  EXPECT_NE(output.find("the line is dropped"), std::string::npos) << output;
  log.AddLine("after");
  const std::vector<std::string> lines = LinesIn(dir.Path() + "/Log");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].ends_with(" after"));
}

}  // namespace
}  // namespace kyv
