#include "core/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> ParseEngine(const std::string& line) {
    OptionParser parser(line);
    AddEngineOptions(parser);
    parser.Parse();
    std::vector<std::string> values;
    for (size_t i = 0; i < kEngineOptionCount; ++i) values.push_back(parser.GetOptionValue(i));
    return values;
}

const std::vector<std::string> kDefaults = {"0", "0", "0", "2", "0", "1", "2",
                                            "1", "1", "0", "800", "600", "32", "0"};

TEST(Options, EngineTableInOrderWithDefaults) {
    OptionParser parser("");
    AddEngineOptions(parser);
    const char* keys[] = {"njoin", "adapter", "tq", "tf", "aa", "lg", "lt",
                          "pd", "s", "win", "w", "h", "d", "ldump"};
    ASSERT_EQ(parser.Specs().size(), 14u);
    for (size_t i = 0; i < 14; ++i) EXPECT_EQ(parser.Specs()[i].key, keys[i]) << i;
    EXPECT_EQ(parser.Specs()[kOptNjoin].restricted, 0u);
    EXPECT_EQ(parser.Specs()[kOptAdapter].restricted, 0u);
    EXPECT_EQ(parser.Specs()[kOptW].allowedValues,
              (std::vector<std::string>{"800", "1024", "1280", "1600"}));
    EXPECT_EQ(parser.Specs()[kOptTq].allowedValues, (std::vector<std::string>{"0", "16", "32"}));
    EXPECT_EQ(ParseEngine(""), kDefaults);
    EXPECT_EQ(ParseEngine("   "), kDefaults);
}

TEST(Options, AcceptedAndRejectedTokens) {
    auto v = ParseEngine("-w=1024 -h=768");
    EXPECT_EQ(v[kOptW], "1024");
    EXPECT_EQ(v[kOptH], "768");
    EXPECT_EQ(ParseEngine("-w=1000")[kOptW], "800");
    EXPECT_EQ(ParseEngine("-win")[kOptWin], "0");
    EXPECT_EQ(ParseEngine("-s=0 -s=1")[kOptS], "1");
    EXPECT_EQ(ParseEngine("-s=0  -s=2")[kOptS], "0");  // a refused later value keeps the earlier
    EXPECT_EQ(ParseEngine("win=1 -W=1024"), kDefaults);
    EXPECT_EQ(ParseEngine("-adapter=7")[kOptAdapter], "7");
    EXPECT_EQ(ParseEngine("-w-1024")[kOptW], "1024");
    EXPECT_EQ(ParseEngine("--w==1024")[kOptW], "1024");
    EXPECT_EQ(ParseEngine("-njoin=a-b")[kOptNjoin], "a-b");
    EXPECT_EQ(ParseEngine("-njoin=a=b")[kOptNjoin], "a");
    EXPECT_EQ(ParseEngine("- -= -- =")  , kDefaults);
}

TEST(Options, RejectedRecordsKeepWhatWasGiven) {
    OptionParser parser("- stray -zz=1 -w=1000 -win");
    AddEngineOptions(parser);
    parser.Parse();
    std::vector<std::string> rejected;
    for (const auto& r : parser.Rejected()) rejected.push_back(r.key + "=" + r.value + (r.hasValue ? "" : " (none)"));
    EXPECT_EQ(rejected, (std::vector<std::string>{"-=Error! (none)", "stray=Error! (none)", "zz=1", "w=1000",
                                              "win=1 (none)"}));
}

TEST(Options, OnlyTheFirst255CharactersOfATokenCount) {
    // "-njoin=" is 7 characters: 248 value characters fit in 255.
    std::string token = "-njoin=" + std::string(260, 'x');
    EXPECT_EQ(ParseEngine(token)[kOptNjoin], std::string(248, 'x'));
    // A value pushed past the limit is cut off, so the key arrives alone.
    std::string longKey = "-" + std::string(254, 'k') + "=1";
    OptionParser parser(longKey + " -w=1024");
    parser.AddOption(OptionSpec(std::string(254, 'k'), "~", 0));
    parser.AddOption(OptionSpec("w", "800:1024", 0));
    parser.Parse();
    EXPECT_EQ(parser.GetOptionValue(0), "0");
    EXPECT_EQ(parser.GetOptionValue(1), "1024");
}

TEST(Options, SwitchesAndLookups) {
    OptionParser parser("-fast -mode=3");
    parser.AddOption(OptionSpec("fast", "-", 0));
    parser.AddOption(OptionSpec("mode", "1:2", 5));  // default index outside the list
    parser.Parse();
    EXPECT_EQ(parser.GetOptionValue(0), "1");
    EXPECT_EQ(parser.GetOptionValue(1), "0");
    EXPECT_EQ(parser.GetOptionValue(2), "");
}

TEST(Options, ValuesConvertByLeadingDigits) {
    EXPECT_EQ(OptionToInt("1024"), 1024);
    EXPECT_EQ(OptionToInt("16abc"), 16);
    EXPECT_EQ(OptionToInt("a16"), 0);
    EXPECT_EQ(OptionToInt(""), 0);
    EXPECT_GT(OptionToInt("99999999999999999999"), 0);  // no overflow
}

}  // namespace
