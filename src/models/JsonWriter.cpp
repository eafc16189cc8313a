#include "models/JsonWriter.h"

#include "models/IsoDate.h"

#include <charconv>
#include <cmath>

namespace kavro::models {

void JsonWriter::newline(std::size_t depth) {
    m_out.append('\n');
    m_out.append(static_cast<qsizetype>(depth * 4), ' ');
}

void JsonWriter::beforeValue() {
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

void JsonWriter::open(char bracket) {
    beforeValue();
    m_out.append(bracket);
    m_empty.push_back(true);
}

void JsonWriter::close(char bracket) {
    const bool wasEmpty = m_empty.back();
    m_empty.pop_back();
    if (!wasEmpty) {
        newline(m_empty.size());
    }
    m_out.append(bracket);
}

void JsonWriter::key(const char* name) {
    if (!m_empty.back()) {
        m_out.append(',');
    }
    m_empty.back() = false;
    newline(m_empty.size());
    m_out.append('"').append(name).append("\": ");
    m_afterKey = true;
}

void JsonWriter::value(double number) {
    beforeValue();
    if (!std::isfinite(number)) {
        m_ok = false;
        m_out.append("null");
        return;
    }
    // The shortest text that reads back as the same double, never with a decimal comma.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    m_out.append(buffer, result.ptr - buffer);
}

void JsonWriter::value(std::int64_t number) {
    beforeValue();
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    m_out.append(buffer, result.ptr - buffer);
}

void JsonWriter::asciiValue(std::string_view text) {
    beforeValue();
    m_out.append('"').append(text.data(), static_cast<qsizetype>(text.size())).append('"');
}

void JsonWriter::value(const QDateTime& moment) {
    const auto text = isodate::formatAscii(moment);
    asciiValue(std::string_view(text.data(), text.size()));
}

void JsonWriter::value(const QString& text) {
    beforeValue();
    static const char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    m_out.append('"');
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            m_out.append("\\\"");
            break;
        case '\\':
            m_out.append("\\\\");
            break;
        case '\n':
            m_out.append("\\n");
            break;
        case '\r':
            m_out.append("\\r");
            break;
        case '\t':
            m_out.append("\\t");
            break;
        default:
            if (byte < 0x20) {
                const char escape[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
                m_out.append(escape, sizeof escape);
            } else {
                m_out.append(c);
            }
        }
    }
    m_out.append('"');
}

} // namespace kavro::models
