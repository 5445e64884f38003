#include "source/multicast/SmsFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "support/TempFolder.h"

namespace kyv {
namespace {

TEST(SmsFile, ReadsTheFirstKeysOfTheSectionWithoutRegardToCase) {
  const TSmsAddress sms = ParseSmsText(
      "; made by hand\n[Other]\nip=224.9.9.9\nport=1\n[ADDRESS]\nIP = \"239.0.0.7\" \nname=x\n"
      "Port=1804 ; the station's\nport=9\n");
  EXPECT_TRUE(sms.Valid()) << sms.Problem;
  EXPECT_EQ(sms.Ip, "239.0.0.7");
  EXPECT_EQ(sms.Port, 1804);
}

TEST(SmsFile, InvalidFilesSayWhy) {
  struct TCase {
    const char* Text;
    const char* Problem;  // a part of the expected reason
  } cases[] = {
      {"[Address]\nport=6000\n", "no \"ip\""},
      {"[Address]\nip=\nport=6000\n", "no \"ip\""},
      {"[Address]\nip=239.1.1.1\n", "no \"port\""},
      {"[Address]\nip=239.1.1.1\nport=0\n", "not a port"},
      {"[Address]\nip=239.1.1.1\nport=65536\n", "not a port"},
      {"[Address]\nip=239.1.1.1\nport=-5\n", "not a port"},
      {"[Address]\nip=239.1.1.1\nport=60x\n", "not a port"},
      {"[Address]\nip=10.0.0.1\nport=6000\n", "not an IPv4 multicast group"},
      {"[Address]\nip=239.1.1\nport=6000\n", "not an IPv4 multicast group"},
      {"ip=239.1.1.1\nport=6000\n", "no \"ip\""},  // outside the section
      {"\x01\x02garbage]]][[\n\xff\xfe=\n", "no \"ip\""},
      {"", "no \"ip\""},
  };
  for (const TCase& c : cases) {
    const TSmsAddress sms = ParseSmsText(c.Text);
    EXPECT_FALSE(sms.Valid()) << c.Text;
    EXPECT_NE(sms.Problem.find(c.Problem), std::string::npos) << c.Text << " -> " << sms.Problem;
  }
}

TEST(SmsFile, WrittenFileReadsBack) {
  test::TTempFolder folder;
  const auto path = folder / "live.sms";
  WriteSmsFile(path, "239.255.0.9", 41000);
  const TSmsAddress sms = ReadSmsFile(path);
  EXPECT_TRUE(sms.Valid()) << sms.Problem;
  EXPECT_EQ(sms.Ip, "239.255.0.9");
  EXPECT_EQ(sms.Port, 41000);
  // Rewriting replaces the file.
  WriteSmsFile(path, "239.255.0.10", 41001);
  EXPECT_EQ(ReadSmsFile(path).Ip, "239.255.0.10");

  EXPECT_THROW(WriteSmsFile(path, "10.1.1.1", 41000), EKyvError);
  EXPECT_THROW(WriteSmsFile(path, "239.1.1.1", 0), EKyvError);
  EXPECT_THROW(WriteSmsFile(folder / "no" / "such.sms", "239.1.1.1", 1), EKyvError);
}

TEST(SmsFile, UnreadableOrHugeFilesAreInvalid) {
  test::TTempFolder folder;
  EXPECT_FALSE(ReadSmsFile(folder / "missing.sms").Valid());
  EXPECT_FALSE(ReadSmsFile(folder.Path()).Valid());  // a folder
  const auto huge = folder / "huge.sms";
  {
    std::ofstream out(huge, std::ios::binary);
    out << "[Address]\nip=239.1.1.1\nport=6000\n" << std::string(kMaxSmsFileSize, ';');
  }
  EXPECT_FALSE(ReadSmsFile(huge).Valid());

  // A file of exactly the largest size is still read whole.
  const auto largest = folder / "largest.sms";
  {
    const std::string keys = "[Address]\nip=239.1.1.1\nport=6000\n";
    std::ofstream out(largest, std::ios::binary);
    out << std::string(kMaxSmsFileSize - keys.size(), '\n') << keys;
  }
  EXPECT_TRUE(ReadSmsFile(largest).Valid()) << ReadSmsFile(largest).Problem;
}

TEST(SmsFile, SpecialFilesAreRefusedWithoutBlocking) {
  test::TTempFolder folder;
  // Nobody ever writes to the FIFO: a blocking open or read would hang the test.
  const auto fifo = folder / "fifo.sms";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const TSmsAddress fromFifo = ReadSmsFile(fifo);
  EXPECT_FALSE(fromFifo.Valid());
  EXPECT_NE(fromFifo.Problem.find("not a regular file"), std::string::npos) << fromFifo.Problem;
  // An endless device is refused before any byte is read.
  EXPECT_NE(ReadSmsFile("/dev/zero").Problem.find("not a regular file"), std::string::npos);
}

}  // namespace
}  // namespace kyv
