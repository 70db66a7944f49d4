// Cancel IDs of one connection, white-box: counted from 1, never 0, and after
// the count wraps never one that a live request still holds.
#include <gtest/gtest.h>

#include <set>

#include "reads/CancelIds.h"

using halvex::CancelIds;

TEST(CancelIds, WrapSkipsZeroAndTheIdsStillLive) {
    std::set<DWORD> live;
    auto inUse = [&](DWORD id) { return live.count(id) != 0; };
    CancelIds fresh;
    EXPECT_EQ(1u, fresh.Next(inUse));
    EXPECT_EQ(2u, fresh.Next(inUse));

    // 2^32 - 2 requests made so far; 1, 2 and 4 of the first ones are live.
    CancelIds ids(0xFFFFFFFEu);
    live = {1, 2, 4, 0xFFFFFFFEu};
    EXPECT_EQ(0xFFFFFFFFu, ids.Next(inUse));
    EXPECT_EQ(3u, ids.Next(inUse));
    EXPECT_EQ(5u, ids.Next(inUse));
}
