// A connection's item-handle table against the plain model it stands for:
// an array of (server, client) entries in order of creation, where lookups
// and removals take the first entry with the server handle.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "server/ItemHandleTable.h"

using halvex::ItemHandleTable;

namespace {

class Model {
public:
    void Add(DWORD server, DWORD client) { entries_.emplace_back(server, client); }
    bool Remove(DWORD server) {
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == server) {
                entries_.erase(it);
                return true;
            }
        }
        return false;
    }
    bool Lookup(DWORD server, DWORD *client) const {
        for (const auto &e : entries_) {
            if (e.first == server) {
                *client = e.second;
                return true;
            }
        }
        return false;
    }
    size_t Size() const { return entries_.size(); }

private:
    std::vector<std::pair<DWORD, DWORD>> entries_;
};

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
    Model model;
    for (int step = 0; step < 50000; ++step) {
        DWORD server = handle(rng) * 64;
        switch (op(rng)) {
        case 0: {
            DWORD client = clientValue(rng);
            ASSERT_TRUE(table.Add(server, client));
            model.Add(server, client);
            break;
        }
        case 1:
            ASSERT_EQ(model.Remove(server), table.Remove(server)) << step;
            break;
        default: {
            DWORD expected = 0, actual = 0;
            bool found = model.Lookup(server, &expected);
            ASSERT_EQ(found, table.Lookup(server, &actual)) << step;
            if (found) {
                ASSERT_EQ(expected, actual) << step;
            }
        }
        }
        ASSERT_EQ(model.Size(), table.Size());
    }
}

}  // namespace
