// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

namespace kavro::cli {
namespace {

// The option set of `history`: two flags and three valued options.
const QSet<QString> kFlags{"json", "help"};
const QSet<QString> kValued{"file", "from", "to"};

struct Line {
    QStringList args;
    QHash<QString, QString> values;
    QSet<QString> flags;
    QStringList positional;
};

void PrintTo(const Line& line, std::ostream* os) {
    *os << line.args.join(' ').toStdString();
}

class CommandLineTest : public ::testing::TestWithParam<Line> {};

TEST_P(CommandLineTest, SplitsOptionsAndArguments) {
    const Line& line = GetParam();
    ParsedArguments parsed;
    const auto error = parseArguments(line.args, kFlags, kValued, parsed);
    ASSERT_FALSE(error) << error->toStdString();
    EXPECT_EQ(parsed.values, line.values);
    EXPECT_EQ(parsed.flags, line.flags);
    EXPECT_EQ(parsed.positional, line.positional);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineTest,
    ::testing::Values(
        Line{{"list", "--from", "2025-03-01", "--json"}, {{"from", "2025-03-01"}}, {"json"}, {"list"}},
        Line{{"--file=/tmp/a b.json", "stats"}, {{"file", "/tmp/a b.json"}}, {}, {"stats"}},
        // The last of a repeated option counts; a value may look like an option.
        Line{{"--to", "x", "--to", "--json"}, {{"to", "--json"}}, {}, {}},
        Line{{"-json", "-from", "-1"}, {{"from", "-1"}}, {"json"}, {}},
        Line{{"export", "-", "--", "--json", "-x"}, {}, {}, {"export", "-", "--json", "-x"}},
        Line{{"--file="}, {{"file", ""}}, {}, {}}));

TEST(CommandLineErrorTest, NamesTheFirstBadOptionAsWritten) {
    const std::pair<QStringList, const char*> cases[] = {
        {{"list", "--loud"}, "unknown option --loud"},
        {{"-x", "--file"}, "unknown option -x"},
        {{"list", "--from"}, "--from needs a value"},
        {{"--json=yes", "--bad"}, "--json takes no value"},
        {{"--file", "--bad", "--bad=1"}, "unknown option --bad"},
    };
    for (const auto& [args, message] : cases) {
        ParsedArguments parsed;
        EXPECT_EQ(parseArguments(args, kFlags, kValued, parsed), QString::fromUtf8(message))
            << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace kavro::cli
