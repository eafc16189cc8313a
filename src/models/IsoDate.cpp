#include "models/IsoDate.h"

#include <QTimeZone>

namespace kavro::models::isodate {

namespace {

// Reads `count` ASCII digits at `at`; -1 if any is not a digit.
int digits(QStringView text, qsizetype at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The form this program writes, parsed by hand: a full history holds tens of thousands
// of dates and the general parser is several times slower.
std::optional<QDateTime> parseWrittenForm(QStringView text) {
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z') {
        return std::nullopt;
    }
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 || !date.isValid() ||
        !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, QTimeZone::utc());
}

} // namespace

QString format(const QDateTime& moment) {
    const QDateTime utc = moment.toUTC();
    const QDate date = utc.date();
    const QTime time = utc.time();
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02dZ", date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second());
}

std::optional<QDateTime> parse(QStringView text) {
    if (auto fast = parseWrittenForm(text)) {
        return fast;
    }
    const QDateTime parsed = QDateTime::fromString(text.toString(), Qt::ISODate);
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime) {
        return std::nullopt;
    }
    return parsed.toUTC();
}

} // namespace kavro::models::isodate
