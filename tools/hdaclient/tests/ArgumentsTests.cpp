// The option parser of hdaclient and the numeric IDs it accepts.
#include <gtest/gtest.h>

#include "Arguments.h"
#include "CommandSupport.h"
#include "Failure.h"

namespace hdaclient {
namespace {

const std::vector<OptionRule> kRules = {
    {"server", true, false}, {"at", true, true}, {"bounds", false, false}};

// The usage error's message, or "" when the arguments are accepted.
std::string Rejection(const std::vector<std::string> &args) {
    try {
        Arguments parsed(args, kRules);
        return "";
    } catch (const Failure &failure) {
        EXPECT_EQ(kExitUsage, failure.code());
        return failure.what();
    }
}

TEST(HdaClientArguments, OptionsAndItemsInAnyOrder) {
    Arguments args({"A.B", "--server", "X.Y.1", "--at=T1", "C", "--bounds", "--at", "T2"}, kRules);
    EXPECT_EQ(std::vector<std::string>({"A.B", "C"}), args.Positional());
    EXPECT_EQ("X.Y.1", args.Value("server"));
    EXPECT_EQ(std::vector<std::string>({"T1", "T2"}), args.Values("at"));
    EXPECT_TRUE(args.Has("bounds"));
    EXPECT_FALSE(args.Help());
    EXPECT_EQ("fallback", Arguments({}, kRules).Value("server", "fallback"));
    // Help anywhere.
    EXPECT_TRUE(Arguments({"A", "--help"}, kRules).Help());
    EXPECT_TRUE(Arguments({"-h", "--server", "S"}, kRules).Help());
}

TEST(HdaClientArguments, ValuesAreTakenAsTheyStand) {
    // A value may look like an option or be empty; "--" ends the options.
    Arguments args({"--server", "--bounds", "--at=", "--", "--at", "-x"}, kRules);
    EXPECT_EQ("--bounds", args.Value("server"));
    EXPECT_FALSE(args.Has("bounds"));
    EXPECT_EQ(std::vector<std::string>({""}), args.Values("at"));
    EXPECT_EQ(std::vector<std::string>({"--at", "-x"}), args.Positional());
}

TEST(HdaClientArguments, UsageErrorsSayWhatIsWrong) {
    EXPECT_EQ("unknown option --strat", Rejection({"--strat", "NOW"}));
    EXPECT_EQ("unknown option -s", Rejection({"-s"}));
    EXPECT_EQ("option --server needs a value", Rejection({"A", "--server"}));
    EXPECT_EQ("option --bounds takes no value", Rejection({"--bounds=yes"}));
    EXPECT_EQ("option --server may be given only once", Rejection({"--server", "A", "--server=B"}));
    EXPECT_EQ("", Rejection({"--at", "1", "--at", "2", "-"}));
}

TEST(HdaClientArguments, NumericIds) {
    DWORD id = 0;
    ASSERT_TRUE(ParseId("13", &id));
    EXPECT_EQ(13u, id);
    ASSERT_TRUE(ParseId("0x80000001", &id));
    EXPECT_EQ(0x80000001u, id);
    ASSERT_TRUE(ParseId("4294967295", &id));
    EXPECT_EQ(0xFFFFFFFFu, id);
    for (const char *bad : {"", "-1", "+1", " 1", "4294967296", "0x", "12abc", "Count", "1.5"}) {
        EXPECT_FALSE(ParseId(bad, &id)) << bad;
    }
    EXPECT_EQ("5", IdText(5));
    EXPECT_EQ("0x80000001", IdText(0x80000001u));
}

}  // namespace
}  // namespace hdaclient
