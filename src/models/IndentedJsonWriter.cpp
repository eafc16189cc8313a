// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/IndentedJsonWriter.h"

#include "models/NumberText.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace kavro::models {

namespace {

// Appends `value` as exactly `width` decimal digits.
void appendDigits(QByteArray& out, int value, int width) {
    char digits[4];
    for (int i = width - 1; i >= 0; --i, value /= 10) {
        digits[i] = static_cast<char>('0' + value % 10);
    }
    out.append(digits, width);
}

} // namespace

void IndentedJsonWriter::newline(std::size_t depth) {
    static constexpr char kSpaces[] = "                                ";
    m_out.append('\n');
    for (auto spaces = static_cast<qsizetype>(depth) * 4; spaces > 0;) {
        const qsizetype chunk = std::min<qsizetype>(spaces, sizeof kSpaces - 1);
        m_out.append(kSpaces, chunk);
        spaces -= chunk;
    }
}

void IndentedJsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_empty.empty()) {
        if (!m_empty.back()) {
            m_out.append(',');
        }
        m_empty.back() = false;
        newline(m_empty.size());
    }
}

void IndentedJsonWriter::open(char bracket) {
    beforeValue();
    m_out.append(bracket);
    m_empty.push_back(true);
}

void IndentedJsonWriter::close(char bracket) {
    const bool wasEmpty = m_empty.back();
    m_empty.pop_back();
    if (!wasEmpty) {
        newline(m_empty.size());
    }
    m_out.append(bracket);
}

void IndentedJsonWriter::key(const char* name) {
    if (!m_empty.back()) {
        m_out.append(',');
    }
    m_empty.back() = false;
    newline(m_empty.size());
    m_out.append('"').append(name).append("\": ");
    m_afterKey = true;
}

void IndentedJsonWriter::value(double number) {
    beforeValue();
    if (!std::isfinite(number)) {
        m_ok = false;
        m_out.append("null");
        return;
    }
    // QJsonDocument writes the same, only -0 as 0.
    appendShortestText(m_out, number);
}

void IndentedJsonWriter::value(std::int64_t number) {
    beforeValue();
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, number);
    m_out.append(text, result.ptr - text);
}

void IndentedJsonWriter::value(bool flag) {
    beforeValue();
    m_out.append(flag ? "true" : "false");
}

void IndentedJsonWriter::value(const QString& text) {
    beforeValue();
    // Qt's escaping, taken from a one-element compact array: ["..."].
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    m_out.append(array.constData() + 1, array.size() - 2);
}

bool IndentedJsonWriter::canWriteDate(const QDateTime& moment) {
    if (!moment.isValid()) {
        return false;
    }
    const int year = moment.toUTC().date().year();
    return year >= 1 && year <= 9999;
}

void IndentedJsonWriter::value(const QDateTime& moment) {
    beforeValue();
    // Qt's calendar gives the fields; they are written digit by digit, since a history
    // holds tens of thousands of dates and QDateTime::toString takes several times longer.
    // Only four-digit years have this form; any other would leave a file that no longer reads.
    if (!canWriteDate(moment)) {
        m_ok = false;
        m_out.append("null");
        return;
    }
    const QDateTime utc = moment.toUTC();
    const QDate date = utc.date();
    const QTime time = utc.time();
    // yyyy-MM-ddTHH:mm:ssZ: each field followed by its separator.
    const int fields[] = {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
    static constexpr char kSeparators[] = "--T::Z";
    m_out.append('"');
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        appendDigits(m_out, fields[i], i == 0 ? 4 : 2);
        m_out.append(kSeparators[i]);
    }
    m_out.append('"');
}

} // namespace kavro::models
