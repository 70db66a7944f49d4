// A connection's item-handle table against the plain model it stands for:
// an array of (server, client) entries in order of creation, where lookups
// and removals take the first entry with the server handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

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

TEST(ItemHandleTable, MatchesTheModelUnderRandomTraffic) {
    // Few distinct handles with colliding low bits, so that probe runs form
    // and removals have to close them up.
    std::mt19937 rng(99);
    std::uniform_int_distribution<DWORD> handle(1, 300), op(0, 2), clientValue(0, 5);
    ItemHandleTable table;
    std::vector<std::pair<DWORD, DWORD>> model;
    for (int step = 0; step < 50000; ++step) {
        const DWORD server = handle(rng) * 64;
        const auto first = std::find_if(model.begin(), model.end(),
                                        [&](const auto &e) { return e.first == server; });
        const bool found = first != model.end();
        switch (op(rng)) {
        case 0: {
            const DWORD client = clientValue(rng);
            ASSERT_TRUE(table.Add(server, client));
            model.emplace_back(server, client);
            break;
        }
        case 1:
            ASSERT_EQ(found, table.Remove(server)) << step;
            if (found) model.erase(first);
            break;
        default: {
            DWORD actual = 0xFFFFFFFF;
            ASSERT_EQ(found, table.Lookup(server, &actual)) << step;
            if (found) {
                ASSERT_EQ(first->second, actual) << step;
            }
        }
        }
        ASSERT_EQ(model.size(), table.Size());
    }
}

}  // namespace
