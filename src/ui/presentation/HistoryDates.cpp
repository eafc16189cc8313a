// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryDates.h"

#include <QRegularExpression>

namespace kavro::ui {

namespace {

const QString kIsoDay = QStringLiteral("yyyy-MM-dd");

} // namespace

QString HistoryDates::longFormatWithoutWeekday(const QLocale& locale) {
    // The weekday goes with the punctuation and spaces that tie it to its neighbour:
    // "dddd, MMMM d, yyyy" → "MMMM d, yyyy"; "yyyy年M月d日dddd" → "yyyy年M月d日".
    static const QRegularExpression weekdayFirst(QStringLiteral("^\\s*dddd[\\s,.]*"));
    static const QRegularExpression weekday(QStringLiteral("[\\s,]*dddd"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekdayFirst);
    format.remove(weekday);
    return format.trimmed();
}

QString HistoryDates::mediumDateFormat(const QLocale& locale) {
    QString format = longFormatWithoutWeekday(locale);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return format;
}

QString HistoryDates::mediumDate(QDate day, const QLocale& locale) {
    return locale.toString(day, mediumDateFormat(locale));
}

QString HistoryDates::spokenDate(QDate day, const QLocale& locale) {
    return locale.toString(day, longFormatWithoutWeekday(locale));
}

QString HistoryDates::shortTimeFormat(const QLocale& locale) {
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(seconds);
    return format;
}

QString HistoryDates::rangeLabel(QDate first, QDate last, const QLocale& locale) {
    if (first == last) {
        return mediumDate(first, locale);
    }
    return mediumDate(first, locale) + QStringLiteral(" – ") + mediumDate(last, locale);
}

QString HistoryDates::exportFileName(QDate first, QDate last) {
    QString name = QStringLiteral("Kavro Sessions ") + first.toString(kIsoDay);
    if (first != last) {
        name += QStringLiteral(" to ") + last.toString(kIsoDay);
    }
    return name + QStringLiteral(".csv");
}

} // namespace kavro::ui
