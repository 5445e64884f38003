// Address forms and the reader each one selects.
#include <gtest/gtest.h>

#include "source/Address.h"

namespace kyv {
namespace {

TEST(Address, FileAddressesBecomePaths) {
  EXPECT_EQ(NormalizeAddress("file:///C:/Rec/a%20b.kyv?t=5"), "C:\\Rec\\a b.kyv");
  EXPECT_EQ(NormalizeAddress("file://server/share/r.kyv"), "\\\\server\\share\\r.kyv");
  EXPECT_EQ(NormalizeAddress("FILE://C:/r.kyv"), "C:\\r.kyv");
  EXPECT_EQ(NormalizeAddress("file://\\\\server/r.kyv"), "\\\\server\\r.kyv");
  // Paths of this system keep their leading slash and their separators.
  EXPECT_EQ(NormalizeAddress("file:///home/me/My%20Rec.kyv?x"), "/home/me/My Rec.kyv");
  EXPECT_EQ(NormalizeAddress("/home/me/r.kyv"), "/home/me/r.kyv");
}

TEST(Address, WebAddressesKeepTheirFormAndLoseTheQuery) {
  EXPECT_EQ(NormalizeAddress("http://h/x%7Ba%7D.kyv?q=1"), "http://h/x{a}.kyv");
  EXPECT_EQ(NormalizeAddress("http://h/a%20b%20c.kyv"), "http://h/a b c.kyv");
  // Escapes are matched in their exact case only.
  EXPECT_EQ(NormalizeAddress("http://h/x%7ba.kyv"), "http://h/x%7ba.kyv");
}

TEST(Address, NetworkAddressesByTheirFirstFourCharacters) {
  EXPECT_FALSE(IsNetworkAddress("htt"));
  EXPECT_TRUE(IsNetworkAddress("ftp://h/r.kyv"));
  EXPECT_TRUE(IsNetworkAddress("HTTPS://h/r.kyv"));
  EXPECT_TRUE(IsNetworkAddress("kyvs://h/demo"));
  EXPECT_FALSE(IsNetworkAddress("ftp.example/r.kyv"));
  EXPECT_FALSE(IsNetworkAddress("/srv/r.kyv"));
}

TEST(Address, ExtensionStopsOnlyAtBackslashOrColon) {
  EXPECT_EQ(AddressExtension("http://h/a.sms"), ".sms");
  EXPECT_EQ(AddressExtension("http://h/a.b/c"), ".b/c");
  EXPECT_EQ(AddressExtension("C:\\dir.x\\name"), "");
  EXPECT_EQ(AddressExtension("kyvs://h:1804"), "");
  EXPECT_EQ(AddressExtension("noext"), "");
}

TEST(Address, BareNamesResolveAgainstTheDocument) {
  EXPECT_EQ(ResolveAddress("rec.kyv", "http://site/dir/page.htm"), "http://site/dir/rec.kyv");
  EXPECT_EQ(ResolveAddress("rec.kyv", "file:///C:/web/page.htm"), "C:\\web\\rec.kyv");
  EXPECT_EQ(ResolveAddress("rec.kyv", "page.htm"), "rec.kyv");
  EXPECT_EQ(ResolveAddress("rec.kyv", ""), "rec.kyv");
  EXPECT_EQ(ResolveAddress("sub/rec.kyv", "http://site/dir/page.htm"), "sub/rec.kyv");
}

TEST(Address, ReaderChoiceTakesTheRowsInOrder) {
  EXPECT_EQ(ChooseReader("kyvs://h/ch.sms"), rkLiveTcp);
  EXPECT_EQ(ChooseReader("KYVS://h:99/demo"), rkLiveTcp);
  EXPECT_EQ(ChooseReader("https://h/group.SMS"), rkMulticastRemote);
  EXPECT_EQ(ChooseReader("ftp://h/group.sms"), rkMulticastLocal);
  EXPECT_EQ(ChooseReader("/srv/group.sms"), rkMulticastLocal);
  EXPECT_EQ(ChooseReader("http://h/r.kyv"), rkFile);
  EXPECT_EQ(ChooseReader("/srv/r.kyv"), rkFile);
}

}  // namespace
}  // namespace kyv
