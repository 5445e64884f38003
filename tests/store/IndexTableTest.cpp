// The time index: duplicates, the bounded live mode, and lookups that miss.
#include <gtest/gtest.h>

#include "store/IndexTable.h"

namespace kyv {
namespace {

TEST(IndexTable, EmptyTableHasNoTimes) {
  TIndexTable table;
  EXPECT_TRUE(table.IsEmpty());
  EXPECT_EQ(table.FirstTime(), -1);
  EXPECT_EQ(table.TimeAtOrBefore(0xFFFFFFFFu), -1);
  EXPECT_EQ(table.PositionOf(0), 0);
}

TEST(IndexTable, SameTimeAsTheLastEntryIsNotAddedAgain) {
  TIndexTable table;
  table.AddEntry(100, false, 32);
  table.AddEntry(100, false, 64);
  EXPECT_EQ(table.Count(), 1u);
  EXPECT_EQ(table.PositionOf(100), 32);
  table.AddEntry(200, true, 96);
  table.AddEntry(200, true, 128);
  EXPECT_EQ(table.Count(), 2u);
}

TEST(IndexTable, BoundedModeReplacesTheOldestEntry) {
  TIndexTable table;
  for (uint32_t i = 0; i < 1025; ++i) table.AddEntry(1000 + i * 40, true, i);
  EXPECT_EQ(table.Count(), 1024u);
  EXPECT_EQ(table.FirstTime(), 1040);
  EXPECT_EQ(table.PositionOf(1000), 0);
  // Lookups still work with the oldest entry somewhere in the middle of the storage.
  for (uint32_t i = 1; i < 1025; i += 101) EXPECT_EQ(table.PositionOf(1000 + i * 40), i);
  EXPECT_EQ(table.TimeAtOrBefore(1000 + 1024 * 40 + 1), 1000 + 1024 * 40);
  EXPECT_EQ(table.TimeAtOrBefore(1039), -1);

  for (uint32_t i = 1025; i < 3000; ++i) table.AddEntry(1000 + i * 40, true, i);
  EXPECT_EQ(table.Count(), 1024u);
  EXPECT_EQ(table.FirstTime(), 1000 + (3000 - 1024) * 40);
}

TEST(IndexTable, UnboundedModeKeepsEveryEntry) {
  TIndexTable table;
  for (uint32_t i = 0; i < 5000; ++i) table.AddEntry(i * 10, false, int64_t{i} << 33);
  EXPECT_EQ(table.Count(), 5000u);
  EXPECT_EQ(table.FirstTime(), 0);
  EXPECT_EQ(table.PositionOf(4999 * 10), int64_t{4999} << 33);
  // Past the bound, bounded mode appends as long as the table does not hold exactly 1024.
  table.AddEntry(60000, true, 1);
  EXPECT_EQ(table.Count(), 5001u);

  table.Clear();
  EXPECT_TRUE(table.IsEmpty());
  for (uint32_t i = 0; i < 1025; ++i) table.AddEntry(i, true, i);
  EXPECT_EQ(table.Count(), 1024u);
  EXPECT_EQ(table.FirstTime(), 1);
}

TEST(IndexTable, LookupsMissBetweenAndBeforeEntries) {
  TIndexTable table;
  table.AddEntry(100, false, 1);
  table.AddEntry(200, false, 2);
  table.AddEntry(300, false, 3);
  EXPECT_EQ(table.PositionOf(150), 0);
  EXPECT_EQ(table.PositionOf(301), 0);
  EXPECT_EQ(table.TimeAtOrBefore(99), -1);
  EXPECT_EQ(table.TimeAtOrBefore(100), 100);
  EXPECT_EQ(table.TimeAtOrBefore(299), 200);
  EXPECT_EQ(table.PositionOf(200), 2);
}

TEST(IndexTable, TimesAboveTwoGigabitsAreUnsignedAndDistinctFromNone) {
  TIndexTable table;
  table.AddEntry(0x7FFFFFFFu, false, 1);
  table.AddEntry(0x80000000u, false, 2);
  table.AddEntry(0xFFFFFFFFu, false, 3);
  EXPECT_EQ(table.FirstTime(), 0x7FFFFFFF);
  EXPECT_EQ(table.TimeAtOrBefore(0xFFFFFFFEu), 0x80000000);
  EXPECT_EQ(table.TimeAtOrBefore(0xFFFFFFFFu), 0xFFFFFFFF);
  EXPECT_EQ(table.PositionOf(0xFFFFFFFFu), 3);
  EXPECT_EQ(table.TimeAtOrBefore(5), -1);
}

}  // namespace
}  // namespace kyv
