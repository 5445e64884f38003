// The web stream's address handling and positioning, which need no server.
#include <gtest/gtest.h>

#include <string>

#include "decoder/ReaderErrors.h"
#include "platform/Errors.h"
#include "source/InternetStream.h"
#include "source/UrlEscape.h"

namespace kyv {
namespace {

TEST(EscapeUrl, KeepsAsciiAndWritesOtherCharactersAsUtf8Bytes) {
  EXPECT_EQ(EscapeUrl("http://h/a.kyv"), "http://h/a.kyv");
  // A space (an address's "%20" already turned back into one) stays a space; a percent sign
  // already in the address is not escaped again.
  EXPECT_EQ(EscapeUrl("http://h/录像 1%41.kyv"), "http://h/%E5%BD%95%E5%83%8F 1%41.kyv");
  // A character beyond the basic plane is one character with a four-byte form.
  EXPECT_EQ(EscapeUrl("http://h/\xF0\x9F\x98\x80"), "http://h/%F0%9F%98%80");
  EXPECT_EQ(EscapeUrl("\xC3\xA9"), "%C3%A9");
}

// A bad address is the user's mistake: it is refused with its own text and the invalid-address
// code, never as an assertion failure.
template <class F>
void ExpectInvalidAddress(F&& Attempt, const std::string& Shown) {
  try {
    Attempt();
    ADD_FAILURE() << "accepted: " << Shown;
  } catch (const EAssertionFailed& e) {
    ADD_FAILURE() << "an assertion failure: " << e.what();
  } catch (const EKyvError& e) {
    EXPECT_EQ(e.Code(), reInvalidUrl) << e.what();
    EXPECT_NE(e.Message().find(Shown), std::string::npos) << e.what();
  }
}

TEST(EscapeUrl, RefusesAnEmptyAddress) {
  ExpectInvalidAddress([] { EscapeUrl(""); }, "empty address");
}

TEST(InternetStream, SplitsTheAddressWithoutTraffic) {
  TInternetStream stream("http://example.com/records/录像.kyv?id=7");
  EXPECT_EQ(stream.Url(), "http://example.com/records/%E5%BD%95%E5%83%8F.kyv?id=7");
  EXPECT_EQ(stream.ServerName(), "example.com");
  EXPECT_EQ(stream.ServerPort(), 80);
  EXPECT_EQ(stream.ObjectName(), "/records/%E5%BD%95%E5%83%8F.kyv?id=7");
  EXPECT_EQ(stream.Position(), 0);

  EXPECT_EQ(TInternetStream("http://10.0.0.2:8080/a b.kyv").ServerPort(), 8080);
  EXPECT_EQ(TInternetStream("http://10.0.0.2:8080/a b.kyv").ObjectName(), "/a%20b.kyv");
  EXPECT_EQ(TInternetStream("ftp://files.example.com/x.kyv").ServerPort(), 21);
  EXPECT_EQ(TInternetStream("https://files.example.com/x.kyv").ServerPort(), 443);
}

TEST(InternetStream, RefusesAddressesItCannotSplit) {
  ExpectInvalidAddress([] { TInternetStream(""); }, "empty address");
  for (const std::string address : {"no address at all", "file:///tmp/x.kyv", "http://"})
    ExpectInvalidAddress([&] { TInternetStream{address}; }, address);
}

TEST(InternetStream, SeeksFromBeginningAndCurrentOnly) {
  TInternetStream stream("http://127.0.0.1:9/x.kyv");
  EXPECT_EQ(stream.Seek(1000, TSeekOrigin::soBeginning), 1000);
  EXPECT_EQ(stream.Seek(-10, TSeekOrigin::soCurrent), 990);
  EXPECT_EQ(stream.Position(), 990);
  try {
    stream.Seek(0, TSeekOrigin::soEnd);
    FAIL() << "seeking from the end must fail";
  } catch (const EKyvError& error) {
    EXPECT_EQ(error.Message(), "Not Implement");
  }
  EXPECT_THROW(stream.Seek(-991, TSeekOrigin::soCurrent), EKyvError);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EKyvError);
  EXPECT_EQ(stream.Position(), 990);
}

TEST(InternetStream, ReadOfNothingReturnsZero) {
  TInternetStream stream("http://127.0.0.1:9/x.kyv");
  char byte = 0;
  EXPECT_EQ(stream.Read(&byte, 0), 0u);
  EXPECT_EQ(stream.Position(), 0);
}

}  // namespace
}  // namespace kyv
