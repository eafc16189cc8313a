// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryDates.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

const QDate kFriday(2025, 3, 14);

struct LocaleCase {
    QLocale locale;
    QString medium; // the medium date style
    QString spoken; // the long style without the weekday
    QString time;   // 9:05 in the short time style, without seconds
};

TEST(HistoryDatesTest, TheMediumStyleIsTheLongOneAbbreviatedWithoutTheWeekday) {
    const std::vector<LocaleCase> cases{
        {QLocale(QLocale::English, QLocale::UnitedStates), "Mar 14, 2025", "March 14, 2025", "9:05 AM"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "14 Mar 2025", "14 March 2025", "09:05"},
        {QLocale(QLocale::German, QLocale::Germany), "14. März 2025", "14. März 2025", "09:05"},
        {QLocale(QLocale::Japanese, QLocale::Japan), "2025年3月14日", "2025年3月14日", "9:05"},
        {QLocale::c(), "14 Mar 2025", "14 March 2025", "09:05"},
    };
    for (const LocaleCase& expected : cases) {
        const std::string name = expected.locale.name().toStdString();
        EXPECT_EQ(HistoryDates::mediumDate(kFriday, expected.locale), expected.medium) << name;
        EXPECT_EQ(HistoryDates::spokenDate(kFriday, expected.locale), expected.spoken) << name;
        EXPECT_EQ(expected.locale.toString(QTime(9, 5, 42), HistoryDates::shortTimeFormat(expected.locale)),
                  expected.time)
            << name;
    }
}

TEST(HistoryDatesTest, RangesAndExportNamesNameOneDayOnce) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDate monday(2025, 3, 10);
    EXPECT_EQ(HistoryDates::rangeLabel(kFriday, kFriday, english), "Mar 14, 2025");
    EXPECT_EQ(HistoryDates::rangeLabel(monday, kFriday, english), "Mar 10, 2025 – Mar 14, 2025");
    EXPECT_EQ(HistoryDates::exportFileName(kFriday, kFriday), "Kavro Sessions 2025-03-14.csv");
    EXPECT_EQ(HistoryDates::exportFileName(monday, kFriday), "Kavro Sessions 2025-03-10 to 2025-03-14.csv");
    // Whatever the user's language, the file name keeps its fixed form.
    EXPECT_EQ(HistoryDates::exportFileName(QDate(2024, 12, 31), QDate(2025, 1, 2)),
              "Kavro Sessions 2024-12-31 to 2025-01-02.csv");
}

} // namespace
} // namespace kavro::ui
