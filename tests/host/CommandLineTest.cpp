#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/CommandLine.h"

namespace {

// Every token of a line, as the program's parser reads them.
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    size_t at = 0;
    char token[kTokenSize];
    while (at < line.size()) {
        const size_t used = GetNextToken(line.c_str() + at, token, sizeof token);
        if (used == 0 || used == kNoMoreTokens) break;
        at += used;
        if (token[0]) tokens.push_back(token);
    }
    return tokens;
}

TEST(CommandLineTest, TokensAreSplitAtBlanksAndQuotesKeepBlanks) {
    struct Case {
        const char* line;
        std::vector<std::string> tokens;
    };
    const Case cases[] = {
        {"", {}},
        {"plan.kvp", {"plan.kvp"}},
        {"  -d   example.org  ", {"-d", "example.org"}},
        {"\"/home/a b/My Plan.kvp\"", {"/home/a b/My Plan.kvp"}},
        {"'/home/a b/x.kvp' -i", {"/home/a b/x.kvp", "-i"}},
        // A switch right after a closing quote stays a switch.
        {"\"a b.kvp\" -u", {"a b.kvp", "-u"}},
        {"\"a b.kvp\"-i", {"a b.kvp", "-i"}},
        // An unclosed quote runs to the end of the line.
        {"\"open end", {"open end"}},
        // A quote inside a word is part of it.
        {"it's.kvp", {"it's.kvp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Tokens(c.line), c.tokens);
    }
}

TEST(CommandLineTest, AnOverLongTokenIsCutReportedAndPassedOverWhole) {
    const std::string lengthy(300, 'x');
    const std::string line = lengthy + " next.kvp";
    char token[kTokenSize];
    bool overflowed = false;
    const size_t used = GetNextToken(line.c_str(), token, sizeof token, &overflowed);
    EXPECT_TRUE(overflowed);
    EXPECT_EQ(std::strlen(token), kTokenSize - 1);
    EXPECT_EQ(used, lengthy.size());
    EXPECT_EQ(PlanNameInCommandLine(line.c_str()), "next.kvp");
    EXPECT_EQ(PlanNameInCommandLine(lengthy.c_str()), "");

    EXPECT_EQ(GetNextToken(nullptr, token, sizeof token), kNoMoreTokens);
    EXPECT_EQ(GetNextToken("a", token, 0), kNoMoreTokens);
}

TEST(CommandLineTest, ArgumentsJoinIntoALineThatReadsBackTheSame) {
    const std::vector<std::vector<std::string>> cases = {
        {"-d", "127.0.0.1:8042", "/tmp/My Plans/house.kvp"},
        {"/home/o'brien/plan.kvp", "-i"},
        {"", "x"},
    };
    for (const auto& arguments : cases) {
        const std::string line = JoinArguments(arguments);
        SCOPED_TRACE(line);
        std::vector<std::string> expected;
        for (const std::string& a : arguments)
            if (!a.empty()) expected.push_back(a);
        EXPECT_EQ(Tokens(line), expected);
    }
    // What cannot be one token is left out rather than read as something else.
    EXPECT_EQ(JoinArguments({"a \"b\" c.kvp", "-i"}), "-i");
}

TEST(CommandLineTest, TheLastPlanNameOfAHandedOverLineIsOpenedAndSwitchesAreNot) {
    struct Case {
        const char* line;
        const char* plan;
    };
    const Case cases[] = {
        {"first.kvp second.kvp", "second.kvp"},
        {"\"/x/My Plan.kvp\"", "/x/My Plan.kvp"},
        {"-d other.example plan.kvp", "plan.kvp"},
        {"plan.kvp -d other.example", "plan.kvp"},
        {"-u -i", ""},
        {"-d", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(PlanNameInCommandLine(c.line), c.plan);
    }
}

TEST(CommandLineTest, TheBufferedNameRefusesWhatDoesNotFit) {
    ASSERT_TRUE(SetBufferedFileName("/plans/a.kvp"));
    EXPECT_FALSE(SetBufferedFileName(std::string(kFileNameSize, 'p')));
    EXPECT_EQ(BufferedFileName(), "/plans/a.kvp");
    EXPECT_TRUE(SetBufferedFileName(std::string(kFileNameSize - 1, 'p')));
    ClearBufferedFileName();
    EXPECT_EQ(BufferedFileName(), "");
}

}  // namespace
