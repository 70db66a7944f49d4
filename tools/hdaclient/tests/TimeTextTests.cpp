// Time arguments and printed times of hdaclient.
#include <gtest/gtest.h>

#include "TimeText.h"

namespace hdaclient {
namespace {

// 1970-01-01T00:00:00Z in FILETIME ticks.
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
constexpr uint64_t kDay = 86400ull * kTicksPerSecond;

uint64_t Absolute(const std::string &text) {
    uint64_t ticks = 0;
    EXPECT_TRUE(ParseAbsoluteTime(text, &ticks)) << text;
    return ticks;
}

TEST(HdaClientTime, AbsoluteTimesAgainstKnownInstants) {
    EXPECT_EQ(0u, Absolute("1601-01-01T00:00:00Z"));
    EXPECT_EQ(kUnixEpoch, Absolute("1970-01-01T00:00:00Z"));
    // 2000-03-01 and 2024-02-29 are 11017 and 19782 days after the Unix epoch.
    EXPECT_EQ(kUnixEpoch + 11017 * kDay + 3723 * kTicksPerSecond, Absolute("2000-03-01T01:02:03Z"));
    EXPECT_EQ(kUnixEpoch + 19782 * kDay, Absolute("2024-02-29T00:00:00Z"));
}

TEST(HdaClientTime, FractionsOfASecond) {
    uint64_t whole = Absolute("2026-12-06T21:15:30Z");
    EXPECT_EQ(whole + 5000000, Absolute("2026-12-06T21:15:30.5Z"));
    EXPECT_EQ(whole + 1230000, Absolute("2026-12-06T21:15:30.123Z"));
    EXPECT_EQ(whole + 1234567, Absolute("2026-12-06T21:15:30.1234567Z"));
    uint64_t ticks = 0;
    EXPECT_FALSE(ParseAbsoluteTime("2026-12-06T21:15:30.12345678Z", &ticks));
    EXPECT_FALSE(ParseAbsoluteTime("2026-12-06T21:15:30.Z", &ticks));
}

TEST(HdaClientTime, RejectsImpossibleOrIncompleteDates) {
    uint64_t ticks = 0;
    for (const char *bad : {"2023-02-29T00:00:00Z", "1900-02-29T00:00:00Z", "2026-13-01T00:00:00Z",
                            "2026-04-31T00:00:00Z", "2026-01-01T24:00:00Z", "2026-01-01T00:60:00Z",
                            "2026-01-01T00:00:60Z", "1600-12-31T23:59:59Z", "2026-01-01T00:00:00",
                            "2026-01-01 00:00:00Z", "2026-1-01T00:00:00Z", "2026-01-01T00:00:00Zx",
                            ""}) {
        EXPECT_FALSE(ParseAbsoluteTime(bad, &ticks)) << bad;
    }
}

TEST(HdaClientTime, FormatsAsUtcIsoWithMilliseconds) {
    EXPECT_EQ("1601-01-01T00:00:00.000Z", FormatTime(0));
    EXPECT_EQ("1970-01-01T00:00:00.000Z", FormatTime(kUnixEpoch));
    const uint64_t march2024 = kUnixEpoch + 19783 * kDay;
    EXPECT_EQ("2024-02-29T23:59:59.999Z", FormatTime(march2024 - 10000));
    // Below a millisecond nothing is rounded away.
    EXPECT_EQ("2024-02-29T23:59:59.9999999Z", FormatTime(march2024 - 1));
}

TEST(HdaClientTime, RelativeTimes) {
    for (const char *good : {"NOW", "NOW-1H", "DAY-1D+7H30M", "MONTH+1MO", "YEAR-10Y", "WEEK+2W-3D",
                             "SECOND-90S", "MINUTE+5M", "HOUR-1H-1H"}) {
        EXPECT_TRUE(IsRelativeTime(good)) << good;
    }
    for (const char *bad : {"now", "NOW-", "NOW-H", "NOW-1", "NOW-1X", "NOW 1H", "NOW+-1H",
                            "TODAY", "1H", "NOW-1HOUR", ""}) {
        EXPECT_FALSE(IsRelativeTime(bad)) << bad;
    }
}

TEST(HdaClientTime, ParseTimeChoosesTheKindAndExplainsErrors) {
    TimeArg arg;
    std::string error;
    ASSERT_TRUE(ParseTime("NOW-1H", &arg, &error));
    EXPECT_TRUE(arg.relative);
    EXPECT_EQ("NOW-1H", arg.text);
    ASSERT_TRUE(ParseTime("1970-01-01T00:00:00Z", &arg, &error));
    EXPECT_FALSE(arg.relative);
    EXPECT_EQ(kUnixEpoch, arg.ticks);
    ASSERT_TRUE(ParseTime("", &arg, &error));  // no time
    EXPECT_TRUE(arg.relative);
    EXPECT_EQ("", arg.text);

    EXPECT_FALSE(ParseTime("now-1h", &arg, &error));
    EXPECT_NE(std::string::npos, error.find("did you mean NOW-1H?")) << error;
    EXPECT_FALSE(ParseTime("yesterday", &arg, &error));
    EXPECT_EQ(std::string::npos, error.find("did you mean")) << error;
}

TEST(HdaClientTime, Seconds) {
    uint64_t ticks = 0;
    ASSERT_TRUE(ParseSeconds("10", &ticks));
    EXPECT_EQ(10 * kTicksPerSecond, ticks);
    ASSERT_TRUE(ParseSeconds("0.5", &ticks));
    EXPECT_EQ(kTicksPerSecond / 2, ticks);
    ASSERT_TRUE(ParseSeconds("0.0000001", &ticks));
    EXPECT_EQ(1u, ticks);
    for (const char *bad : {"0", "0.0", "-1", "1e3", "", ".", "10s", "0.00000001", "99999999999999"}) {
        EXPECT_FALSE(ParseSeconds(bad, &ticks)) << bad;
    }
    EXPECT_EQ("10", FormatSeconds(10 * kTicksPerSecond));
    EXPECT_EQ("0.5", FormatSeconds(kTicksPerSecond / 2));
    EXPECT_EQ("3600.0000001", FormatSeconds(3600 * kTicksPerSecond + 1));
}

}  // namespace
}  // namespace hdaclient
