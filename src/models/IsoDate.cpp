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

std::array<char, 20> formatAscii(const QDateTime& moment) {
    // Straight from the seconds since the epoch: a history holds tens of thousands of
    // dates and converting each through the time zone machinery is slow.
    const std::int64_t milliseconds = moment.toMSecsSinceEpoch();
    const std::int64_t seconds = milliseconds >= 0 ? milliseconds / 1000 : -((999 - milliseconds) / 1000);
    const std::int64_t days = seconds >= 0 ? seconds / 86400 : -((86399 - seconds) / 86400);
    const auto secondOfDay = static_cast<int>(seconds - days * 86400);
    const QDate date = QDate(1970, 1, 1).addDays(days);
    const int fields[] = {date.year(),        date.month(),          date.day(),
                          secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60};
    std::array<char, 20> text{};
    const auto put = [&text](int at, int value, int width) {
        for (int i = width - 1; i >= 0; --i, value /= 10) {
            text[at + i] = static_cast<char>('0' + value % 10);
        }
    };
    put(0, fields[0], 4);
    text[4] = '-';
    put(5, fields[1], 2);
    text[7] = '-';
    put(8, fields[2], 2);
    text[10] = 'T';
    put(11, fields[3], 2);
    text[13] = ':';
    put(14, fields[4], 2);
    text[16] = ':';
    put(17, fields[5], 2);
    text[19] = 'Z';
    return text;
}

QString format(const QDateTime& moment) {
    const auto text = formatAscii(moment);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
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
