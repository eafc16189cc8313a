// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

namespace kavro::models {

// Writes indented JSON (four spaces, one key or element per line) with the keys in the
// order they are given, which QJsonObject cannot do (it sorts them). Strings are escaped
// by Qt; numbers are the shortest text that reads back as the same value. It writes
// straight into a byte buffer, because a history holds tens of thousands of readings
// and building a QJsonDocument for them first costs several times more.
class IndentedJsonWriter {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The next member's key (plain ASCII); the value call that follows completes the member.
    void key(const char* name);

    void value(double number);
    void value(std::int64_t number);
    void value(bool flag);
    void value(const QString& text);
    // A date in the history file's form, ISO 8601 in UTC with whole seconds and a
    // trailing "Z" (2025-03-14T09:26:53Z).
    void value(const QDateTime& moment);

    // Whether a moment has that form: a valid date whose year in UTC has four digits (1
    // to 9999). Only such dates are written, and a reader accepts no others, so every date
    // in the file reads back as the moment that was written.
    static bool canWriteDate(const QDateTime& moment);

    // False once a value without a JSON form (an infinite number, not-a-number, a date
    // beyond the four-digit years) was given.
    bool ok() const { return m_ok; }
    QByteArray take() { return std::move(m_out); }

private:
    void open(char bracket);
    void close(char bracket);
    // Separator, line break and indentation before an array element.
    void beforeValue();
    void newline(std::size_t depth);

    QByteArray m_out;
    // One entry per open container: whether it has no element yet.
    std::vector<bool> m_empty;
    bool m_afterKey = false;
    bool m_ok = true;
};

} // namespace kavro::models
