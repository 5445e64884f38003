#include "source/multicast/NetworkInterfaces.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kyv {
namespace {

using TRows = std::vector<TInterfaceAddress>;
using TList = std::vector<std::string>;

TEST(SelectInterfaces, SkipsLoopbackAndAnyAddress) {
  EXPECT_EQ(SelectInterfaces(
                TRows{{"127.0.0.1", 1}, {"10.0.0.5", 2}, {"0.0.0.0", 3}, {"192.168.1.9", 4}}),
            (TList{"10.0.0.5", "192.168.1.9"}));
  // Other loopback addresses are ordinary rows.
  EXPECT_EQ(SelectInterfaces(TRows{{"127.0.0.2", 1}}), (TList{"127.0.0.2"}));
  EXPECT_TRUE(SelectInterfaces(TRows{{"127.0.0.1", 1}}).empty());
  EXPECT_TRUE(SelectInterfaces(TRows{}).empty());
}

TEST(SelectInterfaces, OneAddressPerInterfaceTheFirstListed) {
  EXPECT_EQ(
      SelectInterfaces(TRows{{"10.0.0.5", 2}, {"10.0.0.6", 2}, {"172.16.0.1", 3}, {"10.0.0.7", 2}}),
      (TList{"10.0.0.5", "172.16.0.1"}));
  // An interface whose first row was skipped is still free.
  EXPECT_EQ(SelectInterfaces(TRows{{"0.0.0.0", 2}, {"10.0.0.6", 2}}), (TList{"10.0.0.6"}));
}

TEST(SelectInterfaces, AtMostFourInOrder) {
  TRows rows;
  for (uint32_t i = 1; i <= 6; ++i) rows.push_back({"10.0.0." + std::to_string(i), i});
  EXPECT_EQ(SelectInterfaces(rows), (TList{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
}

TEST(ListInterfaces, VariableReplacesThePlatformList) {
  EXPECT_EQ(ParseInterfaceList(" 127.0.0.1 ,,bad, 10.1.2.3,0.0.0.0"),
            (TList{"127.0.0.1", "10.1.2.3", "0.0.0.0"}));
  EXPECT_EQ(ParseInterfaceList("1.1.1.1,2.2.2.2,3.3.3.3,4.4.4.4,5.5.5.5").size(), 4u);
  EXPECT_TRUE(ParseInterfaceList("").empty());

  ::setenv(kMulticastInterfacesVariable, "127.0.0.1", 1);
  EXPECT_EQ(ListInterfaces(), (TList{"127.0.0.1"}));
  ::unsetenv(kMulticastInterfacesVariable);
  // The platform's list never offers the loopback address.
  for (const std::string& address : ListInterfaces()) EXPECT_NE(address, "127.0.0.1");
}

}  // namespace
}  // namespace kyv
