#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string_view>
#include <vector>

namespace kavro::models {

// Writes indented JSON (four spaces, one key or element per line) straight into a byte
// buffer. The history file holds tens of thousands of readings; building a QJsonDocument
// for it first costs several times more than the writing itself.
class JsonWriter {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The next member's key; the value call that follows completes the member.
    void key(const char* name);

    void value(double number);
    void value(std::int64_t number);
    void value(const QString& text);
    // A date in the history file's form, ISO 8601 UTC with whole seconds.
    void value(const QDateTime& moment);

    // False once a number without a JSON form (infinity, not-a-number) was written.
    bool ok() const { return m_ok; }
    QByteArray take() { return std::move(m_out); }

private:
    void open(char bracket);
    void close(char bracket);
    // Separator, line break and indentation before an array element.
    void beforeValue();
    void newline(std::size_t depth);
    // Text known to be plain ASCII without characters that need escaping.
    void asciiValue(std::string_view text);

    QByteArray m_out;
    // One entry per open container: whether it has no element yet.
    std::vector<bool> m_empty;
    bool m_afterKey = false;
    bool m_ok = true;
};

} // namespace kavro::models
