// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace kavro::ui {

// How the history window writes days: in the user's medium date style ("Mar 14, 2025"
// in the United States, "14 Mar 2025" in Britain), in words for screen readers, and in
// the fixed form of the names it proposes for exported files.
class HistoryDates {
public:
    // Qt knows a short and a long date style; the medium one is the long one without
    // the weekday and with the month abbreviated.
    static QString mediumDateFormat(const QLocale& locale);
    static QString mediumDate(QDate day, const QLocale& locale);
    // The long style without the weekday: "March 14, 2025", "14 March 2025".
    static QString spokenDate(QDate day, const QLocale& locale);
    // The locale's short time style, without seconds where a locale puts them in it
    // (Qt's C locale does): "09:30", "9:30 AM".
    static QString shortTimeFormat(const QLocale& locale);
    // One day, or the first and last day joined by " – ".
    static QString rangeLabel(QDate first, QDate last, const QLocale& locale);
    // "Kavro Sessions 2025-03-14.csv", or "Kavro Sessions 2025-03-08 to 2025-03-14.csv".
    static QString exportFileName(QDate first, QDate last);

private:
    static QString longFormatWithoutWeekday(const QLocale& locale);
};

} // namespace kavro::ui
