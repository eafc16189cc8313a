#include "models/JsonReader.h"

#include "models/IsoDate.h"

#include <charconv>
#include <cmath>

namespace kavro::models {

namespace {

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

void JsonReader::fail(const QString& message) {
    if (m_error.isEmpty()) {
        m_error = message;
    }
}

void JsonReader::addErrorContext(const QString& context) {
    if (failed()) {
        m_error.prepend(context);
    }
}

void JsonReader::skipWhitespace() {
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') {
            return;
        }
        ++m_pos;
    }
}

bool JsonReader::expect(char c) {
    skipWhitespace();
    if (m_pos < m_text.size() && m_text[m_pos] == c) {
        ++m_pos;
        return true;
    }
    fail(m_pos < m_text.size()
             ? QStringLiteral("unexpected character at byte %1 (expected '%2')").arg(m_pos).arg(c)
             : QStringLiteral("the text ends too early"));
    return false;
}

JsonReader::Type JsonReader::peek() {
    if (failed()) {
        return Type::invalid;
    }
    skipWhitespace();
    if (m_pos >= m_text.size()) {
        return Type::invalid;
    }
    switch (m_text[m_pos]) {
    case '{':
        return Type::object;
    case '[':
        return Type::array;
    case '"':
        return Type::string;
    case 't':
    case 'f':
        return Type::boolean;
    case 'n':
        return Type::null;
    default: {
        const char c = m_text[m_pos];
        return c == '-' || (c >= '0' && c <= '9') ? Type::number : Type::invalid;
    }
    }
}

bool JsonReader::beginContainer(char opening) {
    if (failed() || !expect(opening)) {
        return false;
    }
    m_first.push_back(true);
    return true;
}

bool JsonReader::beginArray() {
    return beginContainer('[');
}

bool JsonReader::beginObject() {
    return beginContainer('{');
}

bool JsonReader::nextInContainer(char closing) {
    if (failed()) {
        return false;
    }
    skipWhitespace();
    if (m_pos < m_text.size() && m_text[m_pos] == closing) {
        ++m_pos;
        m_first.pop_back();
        return false;
    }
    if (!m_first.back() && !expect(',')) {
        return false;
    }
    m_first.back() = false;
    return true;
}

bool JsonReader::nextElement() {
    return nextInContainer(']');
}

bool JsonReader::nextMember(QByteArrayView& key) {
    std::string_view bytes;
    if (!nextInContainer('}') || !expect('"') || !readStringBytes(bytes) || !expect(':')) {
        return false;
    }
    key = QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return true;
}

// Reads a string whose opening quote has been consumed. Without escapes the bytes are
// a view into the text; with escapes they are unescaped into the scratch buffer.
bool JsonReader::readStringBytes(std::string_view& bytes) {
    const qsizetype start = m_pos;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == '"') {
            bytes = std::string_view(m_text.data() + start, static_cast<std::size_t>(m_pos - start));
            ++m_pos;
            return true;
        }
        if (c == '\\') {
            break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            fail(QStringLiteral("control character in a string at byte %1").arg(m_pos));
            return false;
        }
        ++m_pos;
    }
    m_scratch.assign(m_text.data() + start, static_cast<std::size_t>(m_pos - start));
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos++];
        if (c == '"') {
            bytes = m_scratch;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            fail(QStringLiteral("control character in a string at byte %1").arg(m_pos - 1));
            return false;
        }
        if (c != '\\') {
            m_scratch.push_back(c);
            continue;
        }
        if (m_pos >= m_text.size()) {
            break;
        }
        const char escape = m_text[m_pos++];
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            m_scratch.push_back(escape);
            break;
        case 'b':
            m_scratch.push_back('\b');
            break;
        case 'f':
            m_scratch.push_back('\f');
            break;
        case 'n':
            m_scratch.push_back('\n');
            break;
        case 'r':
            m_scratch.push_back('\r');
            break;
        case 't':
            m_scratch.push_back('\t');
            break;
        case 'u': {
            const auto readUnit = [&]() -> int {
                if (m_pos + 4 > m_text.size()) {
                    return -1;
                }
                int unit = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = hexValue(m_text[m_pos + i]);
                    if (digit < 0) {
                        return -1;
                    }
                    unit = unit * 16 + digit;
                }
                m_pos += 4;
                return unit;
            };
            const int unit = readUnit();
            if (unit < 0) {
                fail(QStringLiteral("invalid \\u escape at byte %1").arg(m_pos));
                return false;
            }
            char32_t codePoint = static_cast<char32_t>(unit);
            if (unit >= 0xD800 && unit <= 0xDBFF && m_pos + 1 < m_text.size() && m_text[m_pos] == '\\' &&
                m_text[m_pos + 1] == 'u') {
                m_pos += 2;
                const int low = readUnit();
                codePoint = low >= 0xDC00 && low <= 0xDFFF
                                ? 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00)
                                : 0xFFFD;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                codePoint = 0xFFFD; // a lone surrogate has no character
            }
            appendUtf8(m_scratch, codePoint);
            break;
        }
        default:
            fail(QStringLiteral("invalid escape at byte %1").arg(m_pos - 1));
            return false;
        }
    }
    fail(QStringLiteral("the text ends inside a string"));
    return false;
}

std::optional<double> JsonReader::parseNumber() {
    const qsizetype start = m_pos;
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E')) {
            break;
        }
        ++m_pos;
    }
    double value = 0;
    const char* first = m_text.data() + start;
    const char* last = m_text.data() + m_pos;
    const auto result = std::from_chars(first, last, value);
    if (result.ec != std::errc() || result.ptr != last) {
        m_pos = start;
        return std::nullopt;
    }
    return value;
}

std::optional<double> JsonReader::number() {
    const auto value = peek() == Type::number ? parseNumber() : std::nullopt;
    if (!value) {
        fail(QStringLiteral("invalid number at byte %1").arg(m_pos));
    }
    return value;
}

std::optional<QString> JsonReader::string() {
    std::string_view bytes;
    if (failed() || !expect('"') || !readStringBytes(bytes)) {
        return std::nullopt;
    }
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool JsonReader::skipLiteral(std::string_view literal) {
    if (QByteArrayView(m_text.data() + m_pos, std::min<qsizetype>(literal.size(), m_text.size() - m_pos)) !=
        QByteArrayView(literal.data(), static_cast<qsizetype>(literal.size()))) {
        fail(QStringLiteral("invalid value at byte %1").arg(m_pos));
        return false;
    }
    m_pos += static_cast<qsizetype>(literal.size());
    return true;
}

void JsonReader::skipValue() {
    switch (peek()) {
    case Type::object: {
        beginObject();
        QByteArrayView key;
        while (nextMember(key)) {
            skipValue();
        }
        break;
    }
    case Type::array:
        beginArray();
        while (nextElement()) {
            skipValue();
        }
        break;
    case Type::string:
        string();
        break;
    case Type::number:
        number();
        break;
    case Type::boolean:
        skipLiteral(m_text[m_pos] == 't' ? "true" : "false");
        break;
    case Type::null:
        skipLiteral("null");
        break;
    case Type::invalid:
        fail(m_pos < m_text.size() ? QStringLiteral("invalid value at byte %1").arg(m_pos)
                                   : QStringLiteral("the text ends too early"));
        break;
    }
}

bool JsonReader::finish() {
    if (failed()) {
        return false;
    }
    skipWhitespace();
    if (m_pos != m_text.size()) {
        fail(QStringLiteral("unexpected text after the end at byte %1").arg(m_pos));
        return false;
    }
    return true;
}

bool JsonReader::skipNull() {
    if (peek() != Type::null) {
        return false;
    }
    return skipLiteral("null");
}

std::optional<double> JsonReader::numberMember(const char* key) {
    // Out of range (1e999) counts as not a number: no double holds it.
    const auto value = peek() == Type::number ? parseNumber() : std::nullopt;
    if (!value) {
        fail(QStringLiteral("key \"%1\" is not a number").arg(QLatin1String(key)));
    }
    return value;
}

std::optional<std::int64_t> JsonReader::countMember(const char* key) {
    const auto value = numberMember(key);
    if (!value) {
        return std::nullopt;
    }
    if (*value != std::trunc(*value) || std::abs(*value) > 9.0e18) {
        fail(QStringLiteral("key \"%1\" is not a whole number").arg(QLatin1String(key)));
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

std::optional<QString> JsonReader::stringMember(const char* key) {
    if (peek() != Type::string) {
        fail(QStringLiteral("key \"%1\" is not a string").arg(QLatin1String(key)));
        return std::nullopt;
    }
    return string();
}

std::optional<QDateTime> JsonReader::dateMember(const char* key) {
    const auto text = peek() == Type::string ? string() : std::nullopt;
    const auto date = text ? isodate::parse(*text) : std::nullopt;
    if (!date) {
        fail(QStringLiteral("key \"%1\" is not an ISO 8601 date").arg(QLatin1String(key)));
    }
    return date;
}

} // namespace kavro::models
