// OPCHDA_TIME records for [in, out] time parameters: what is sent, what the
// server's write-back does to them, and how they are described afterwards.
#include <gtest/gtest.h>

#include <cwchar>

#include "Failure.h"
#include "RequestTime.h"

namespace hdaclient {
namespace {

// 2026-01-01T00:00:00Z
constexpr uint64_t kNewYear = 134116992000000000ull;

TEST(HdaClientRequestTime, RelativeStringIsSentWritableAndResentUnchanged) {
    RequestTime time(ParseTimeOption("--start", "NOW-1H"));
    OPCHDA_TIME *record = time.Record();
    EXPECT_TRUE(record->bString);
    ASSERT_NE(nullptr, record->szTime);
    EXPECT_STREQ(L"NOW-1H", record->szTime);
    // The proxy copies the server's string back into the buffer; a longer
    // one must fit.
    wcscpy(record->szTime, L"NOW-1H, resolved by a server that writes back a longer text");
    record->ftTime = ToFileTime(kNewYear);
    EXPECT_EQ("NOW-1H = 2026-01-01T00:00:00.000Z", time.Describe());
    // The next call (the next item) sends the user's string again.
    record = time.Record();
    EXPECT_STREQ(L"NOW-1H", record->szTime);
    EXPECT_EQ(0u, Ticks(record->ftTime));
}

TEST(HdaClientRequestTime, StringAllocatedByTheProxyIsReplaced) {
    RequestTime time(ParseTimeOption("--end", "NOW"));
    OPCHDA_TIME *record = time.Record();
    wchar_t *own = record->szTime;
    auto *returned = static_cast<wchar_t *>(CoTaskMemAlloc(8 * sizeof(wchar_t)));
    wcscpy(returned, L"NOW");
    record->szTime = returned;  // freed by the next Record() or the destructor
    record = time.Record();
    EXPECT_NE(returned, record->szTime);
    EXPECT_STREQ(L"NOW", record->szTime);
    EXPECT_EQ(own, record->szTime);
}

TEST(HdaClientRequestTime, AbsoluteTimeIsSentAsFileTime) {
    RequestTime time(ParseTimeOption("--start", "2026-01-01T00:00:00.250Z"));
    OPCHDA_TIME *record = time.Record();
    EXPECT_FALSE(record->bString);
    EXPECT_EQ(kNewYear + 2500000, Ticks(record->ftTime));
    ASSERT_NE(nullptr, record->szTime);
    EXPECT_STREQ(L"", record->szTime);
    EXPECT_EQ("2026-01-01T00:00:00.250Z", time.Describe());
}

TEST(HdaClientRequestTime, NoTimeAndZeroStampsShowAsNone) {
    RequestTime time(ParseTimeOption("--end", ""));
    OPCHDA_TIME *record = time.Record();
    EXPECT_TRUE(record->bString);
    EXPECT_STREQ(L"", record->szTime);
    EXPECT_EQ("(none)", time.Describe());
    record->ftTime = ToFileTime(kNewYear);
    EXPECT_EQ("(none) = 2026-01-01T00:00:00.000Z", time.Describe());
    EXPECT_EQ("(none)", FormatStamp(ToFileTime(0)));
    EXPECT_EQ("2026-01-01T00:00:00.000Z", FormatStamp(ToFileTime(kNewYear)));
}

TEST(HdaClientRequestTime, BadTimeIsAUsageErrorNamingTheOption) {
    try {
        ParseTimeOption("--at", "tomorrow");
        FAIL() << "accepted";
    } catch (const Failure &failure) {
        EXPECT_EQ(kExitUsage, failure.code());
        EXPECT_EQ(0, std::string(failure.what()).find("--at: bad time \"tomorrow\"")) << failure.what();
    }
}

}  // namespace
}  // namespace hdaclient
