#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavro::models {

// Reads JSON text in one pass, value by value, without building a document: the
// records are decoded as their keys go by. Loading a full history this way takes a
// fraction of the time a QJsonDocument needs. The first error stops the reader; every
// later call then does nothing, so a decoder can check once at the end.
class JsonReader {
public:
    enum class Type { object, array, string, number, boolean, null, invalid };

    explicit JsonReader(QByteArrayView text) : m_text(text) {}

    // The type of the next value, without consuming it.
    Type peek();

    bool beginArray();
    // In an array: true when another element follows, false once the array has ended.
    bool nextElement();
    bool beginObject();
    // In an object: true with the next member's key, the reader then standing before the
    // member's value; false once the object has ended. The key stays valid until the next call.
    bool nextMember(QByteArrayView& key);

    std::optional<double> number();
    std::optional<QString> string();
    void skipValue();
    // True when nothing but white space is left.
    bool finish();

    // The typed reads of a member's value for the record decoders; a value of another
    // type fails with a message that names the key.
    std::optional<double> numberMember(const char* key);
    // A whole number (3 or 3.0), as the counters are.
    std::optional<std::int64_t> countMember(const char* key);
    std::optional<QString> stringMember(const char* key);
    // An ISO 8601 date with its offset.
    std::optional<QDateTime> dateMember(const char* key);
    // Consumes a null value, which an optional key reads as absent.
    bool skipNull();

    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    void fail(const QString& message);
    // Puts where the error happened in front of it: "session 3: " + "key ... is missing".
    void addErrorContext(const QString& context);

private:
    void skipWhitespace();
    bool expect(char c);
    bool beginContainer(char opening);
    // Past the comma before the next element, or past the closing bracket (then false).
    bool nextInContainer(char closing);
    bool readStringBytes(std::string_view& bytes);
    bool skipLiteral(std::string_view literal);
    // A number at the current position, or no value (and the position unchanged).
    std::optional<double> parseNumber();

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    // One entry per open container: whether no element has been read yet.
    std::vector<bool> m_first;
    // Unescaped text of the last string that held escapes.
    std::string m_scratch;
    QString m_error;
};

} // namespace kavro::models
