// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/MicCalibrationFile.h"

#include <gtest/gtest.h>

using kavro::models::MicCalibrationFile;

namespace {

MicCalibrationFile parsed(const QByteArray& text) {
    auto result = MicCalibrationFile::parse(text);
    if (auto* error = std::get_if<MicCalibrationFile::Error>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message.toStdString();
        return {};
    }
    return std::get<MicCalibrationFile>(result);
}

MicCalibrationFile::Error failure(const QByteArray& text) {
    auto result = MicCalibrationFile::parse(text);
    if (auto* error = std::get_if<MicCalibrationFile::Error>(&result)) {
        return *error;
    }
    ADD_FAILURE() << "parsed: " << text.toStdString();
    return {};
}

} // namespace

TEST(MicCalibrationFile, ReadsHeaderSensitivityAndEverySeparator) {
    const auto file = parsed("\"Sens Factor =-1.23dB, AGain =0dB, SERNO: 7001234\"\r\n"
                             "* measured in a free field\n"
                             "\n"
                             "20.0\t-0.85\t12.1\r\n"
                             "1000, 0.0, 0\n"
                             "  10000   1.5  \n"
                             "2e4,-2.25\n");
    ASSERT_TRUE(file.sensitivityDB);
    EXPECT_DOUBLE_EQ(*file.sensitivityDB, -1.23);
    ASSERT_EQ(file.points.size(), 4u);
    EXPECT_EQ(file.points[0].frequency, 20.0);
    EXPECT_EQ(file.points[0].deviationDB, -0.85);
    EXPECT_EQ(file.points[2].deviationDB, 1.5);
    EXPECT_EQ(file.points[3].frequency, 20000.0);
    EXPECT_FALSE(parsed("100 1\n200 2\n").sensitivityDB);
}

TEST(MicCalibrationFile, MalformedFilesNameTheLine) {
    const std::pair<const char*, int> cases[] = {
        {"Header\n100 0\n200 0.5\nfooter text\n", 4}, // text after the rows
        {"100 0\n100 0.5\n", 2},                      // frequency does not rise
        {"100 0\n50 0.5\n", 2},
        {"100 0\n200 0.5 3 4\n", 2}, // too many fields
        {"100\n", 1},                // no gain
        {"100 abc\n", 1},
        {"0 1\n", 1},
        {"-5 1\n", 1},
        {"100 nan\n", 1},
        {"100 250\n", 1}, // not a microphone
        {"", 0},
        {"just a header\n", 0},
    };
    for (const auto& [text, line] : cases) {
        EXPECT_EQ(failure(text).line, line) << text;
        EXPECT_FALSE(failure(text).message.isEmpty());
    }
    EXPECT_EQ(failure(QByteArray(MicCalibrationFile::kMaxBytes + 1, '1')).line, 0);
}

// Files as spreadsheets and other tools save them: rows of nothing but separators,
// lone CR line ends, a byte-order mark, and decimal commas where tabs or spaces
// separate the fields.
TEST(MicCalibrationFile, ReadsSpreadsheetExports) {
    const std::pair<QByteArray, std::vector<std::pair<double, double>>> cases[] = {
        {"20,-0.5\n,,,\n1000,0\n,,\n, ,\n", {{20, -0.5}, {1000, 0}}},
        {"Freq,dB\r20,-0.5\r1000,0.25\r", {{20, -0.5}, {1000, 0.25}}},
        {"\xef\xbb\xbf"
         "20\t-0.5\n1000\t0\n",
         {{20, -0.5}, {1000, 0}}},
        {"20,5\t-0,85\t12,1\r\n1000\t0,25\t0\r\n", {{20.5, -0.85}, {1000, 0.25}}},
        {"20,5 -0,85\n1000 1\n", {{20.5, -0.85}, {1000, 1}}},
        // Comma-separated, with or without spaces: commas stay separators.
        {"20, -0.5, 3\n1000 ,0.25\n2000,1\n", {{20, -0.5}, {1000, 0.25}, {2000, 1}}},
    };
    for (const auto& [text, rows] : cases) {
        const auto file = parsed(text);
        ASSERT_EQ(file.points.size(), rows.size()) << text.toStdString();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(file.points[i].frequency, rows[i].first) << text.toStdString();
            EXPECT_EQ(file.points[i].deviationDB, rows[i].second) << text.toStdString();
        }
    }
    EXPECT_EQ(parsed("\"Sens Factor =-1,37dB\"\n20\t0\n").sensitivityDB, -1.37);
    // A lone CR ends a line: the error names the right one.
    EXPECT_EQ(failure("20 0\r1000 1\rabc\r").line, 3);
    EXPECT_EQ(failure(",,,\n, ,\n").line, 0);
}

// Numbers the parser takes but no filter can be designed from are refused at the
// design with a reason, never turned into a filter of non-numbers.
TEST(MicCalibrationFile, RowsAtAbsurdFrequenciesGiveNoFilter) {
    for (const QByteArray text : {"1e-320 0\n1000 1\n", "1e-320 0\n2e-320 3\n1000 1\n"}) {
        const auto profile = parsed(text).toProfile(48000, QDateTime::currentDateTimeUtc());
        const auto* reason = std::get_if<QString>(&profile);
        ASSERT_TRUE(reason) << text.toStdString();
        EXPECT_TRUE(reason->contains("finite")) << reason->toStdString();
    }
    EXPECT_TRUE(std::holds_alternative<kavro::models::MicCorrectionProfile>(
        parsed("20 0\n1000 1\n").toProfile(44100, QDateTime::currentDateTimeUtc())));
}
