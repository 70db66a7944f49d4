// A connection's item-handle table: entries in order of creation, where
// lookups and removals take the first entry with the server handle.
#include <gtest/gtest.h>

#include "server/ItemHandleTable.h"

using halvex::ItemHandleTable;

namespace {

TEST(ItemHandleTable, RepeatedHandleKeepsItsEntriesInOrder) {
    ItemHandleTable table;
    DWORD client = 0;
    EXPECT_FALSE(table.Lookup(7, &client));
    ASSERT_TRUE(table.Add(7, 100));
    ASSERT_TRUE(table.Add(7, 100));
    ASSERT_TRUE(table.Add(7, 200));
    EXPECT_TRUE(table.Lookup(7, &client));
    EXPECT_EQ(100u, client);
    EXPECT_TRUE(table.Remove(7));
    EXPECT_TRUE(table.Remove(7));
    EXPECT_TRUE(table.Lookup(7, &client));
    EXPECT_EQ(200u, client);
    EXPECT_TRUE(table.Remove(7));
    EXPECT_FALSE(table.Remove(7));
    EXPECT_EQ(0u, table.Size());
}

// While the table has 16 slots, handle h goes to slot h % 16 or the next free
// one after it. 14, 30 and 46 share slot 14 and run over the end into slot 0,
// pushing 15 and 1 along; 3 sits in its own. Each removal must move the later
// members of the run back as far as their own slot allows, and no further.
TEST(ItemHandleTable, RemovalsKeepAWrappedProbeRunFindable) {
    ItemHandleTable table;
    const DWORD handles[] = {14, 30, 46, 15, 1, 3};
    for (DWORD h : handles) ASSERT_TRUE(table.Add(h, h + 1000));
    for (size_t gone = 1; gone <= 6; ++gone) {
        ASSERT_TRUE(table.Remove(handles[gone - 1]));
        for (size_t i = 0; i < 6; ++i) {
            DWORD client = 0;
            EXPECT_EQ(i >= gone, table.Lookup(handles[i], &client)) << handles[i] << ", " << gone;
            if (i >= gone) {
                EXPECT_EQ(handles[i] + 1000, client);
            }
        }
    }
    EXPECT_EQ(0u, table.Size());
}

}  // namespace
