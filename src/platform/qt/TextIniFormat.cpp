// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/TextIniFormat.h"

#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringEncoder>
#include <QVariant>

#include <algorithm>
#include <iterator>
#include <optional>

namespace kavro::platform {

namespace {

bool isLineSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

int hexValue(char16_t c) {
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

int octalValue(char c) {
    return c >= '0' && c <= '7' ? c - '0' : -1;
}

// One logical line: "key=value" or "[section]". A line goes on past a line break inside
// quotes or after a backslash; a ';' outside quotes starts a comment.
struct IniLine {
    QByteArrayView text;
    qsizetype equals = -1; // the first '=' outside quotes, or -1
};

bool nextLine(QByteArrayView data, qsizetype& position, IniLine& line) {
    for (;;) {
        while (position < data.size() && isLineSpace(data[position])) {
            ++position;
        }
        if (position >= data.size()) {
            return false;
        }
        if (data[position] != ';') {
            break;
        }
        while (position < data.size() && !isLineBreak(data[position])) {
            ++position;
        }
    }
    const qsizetype start = position;
    line.equals = -1;
    bool inQuotes = false;
    while (position < data.size()) {
        const char c = data[position];
        if (c == '\\') {
            ++position;
            if (position < data.size()) {
                const char escaped = data[position++];
                if (position < data.size() && isLineBreak(escaped) && isLineBreak(data[position]) &&
                    data[position] != escaped) {
                    ++position;
                }
            }
            continue;
        }
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && (isLineBreak(c) || c == ';')) {
            break;
        } else if (!inQuotes && c == '=' && line.equals < 0) {
            line.equals = position - start;
        }
        ++position;
    }
    line.text = data.sliced(start, position - start);
    return true;
}

// "%XX" and "%UXXXX" stand for one character, a backslash for '/'.
QString unescapedKey(QByteArrayView key) {
    const QString decoded = QString::fromUtf8(key);
    QString result;
    result.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size();) {
        const QChar c = decoded[i];
        if (c == u'\\') {
            result += u'/';
            ++i;
            continue;
        }
        if (c == u'%' && i + 1 < decoded.size()) {
            const bool wide = decoded[i + 1] == u'U';
            const qsizetype first = i + (wide ? 2 : 1);
            const qsizetype digits = wide ? 4 : 2;
            if (first + digits <= decoded.size()) {
                char16_t code = 0;
                bool ok = true;
                for (qsizetype d = first; d < first + digits && ok; ++d) {
                    const int digit = hexValue(decoded[d].unicode());
                    ok = digit >= 0;
                    code = static_cast<char16_t>(code * 16 + digit);
                }
                if (ok) {
                    result += QChar(code);
                    i = first + digits;
                    continue;
                }
            }
        }
        result += c;
        ++i;
    }
    return result;
}

void chopTrailingSpaces(QString& text, qsizetype limit) {
    while (text.size() > limit && (text.back() == u' ' || text.back() == u'\t')) {
        text.chop(1);
    }
}

// The text of a value as Qt's INI reader unescapes it, or nothing for a list (a comma
// outside quotes).
std::optional<QString> unescapedValue(QByteArrayView value) {
    static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                           {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                           {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    QString result;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
            ++i;
        }
    };
    skipSpaces();
    // Unquoted trailing spaces are dropped, but none written escaped: only those after here.
    qsizetype chopLimit = 0;
    while (i < value.size()) {
        const char c = value[i];
        if (c == '\\') {
            if (++i >= value.size()) {
                return result;
            }
            const char escaped = value[i++];
            const auto* known = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [escaped](const auto& pair) { return pair[0] == escaped; });
            if (known != std::end(kEscapes)) {
                result += QLatin1Char((*known)[1]);
            } else if (escaped == 'x') {
                if (i >= value.size()) {
                    return result;
                }
                if (hexValue(static_cast<unsigned char>(value[i])) >= 0) {
                    char16_t code = 0;
                    for (int digit = 0;
                         i < value.size() && (digit = hexValue(static_cast<unsigned char>(value[i]))) >= 0;
                         ++i) {
                        code = static_cast<char16_t>(code * 16 + digit);
                    }
                    result += QChar(code);
                }
            } else if (octalValue(escaped) >= 0) {
                auto code = static_cast<char16_t>(octalValue(escaped));
                for (; i < value.size() && octalValue(value[i]) >= 0; ++i) {
                    code = static_cast<char16_t>(code * 8 + octalValue(value[i]));
                }
                result += QChar(code);
            } else if (isLineBreak(escaped)) {
                if (i < value.size() && isLineBreak(value[i]) && value[i] != escaped) {
                    ++i;
                }
            }
            // Any other escaped character is dropped, as Qt drops it.
            chopLimit = result.size();
            continue;
        }
        if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = result.size();
            }
            continue;
        }
        if (c == ',' && !inQuotes) {
            return std::nullopt;
        }
        qsizetype end = i + 1;
        while (end < value.size() && value[end] != '\\' && value[end] != '"' && value[end] != ',') {
            ++end;
        }
        result += QString::fromUtf8(value.sliced(i, end - i));
        i = end;
    }
    if (!quoted) {
        chopTrailingSpaces(result, chopLimit);
    }
    return result;
}

// Qt's INI writer marks every value that is not plain text with a leading '@' and
// doubles the '@' of text that starts with one.
std::optional<QString> textOf(const QString& unescaped) {
    if (!unescaped.startsWith(u'@')) {
        return unescaped;
    }
    if (unescaped.startsWith(QLatin1String("@@"))) {
        return unescaped.sliced(1);
    }
    // Text holding a NUL character.
    if (unescaped.startsWith(QLatin1String("@String(")) && unescaped.endsWith(u')')) {
        return unescaped.sliced(8).chopped(1);
    }
    return std::nullopt;
}

void appendEscapedKey(const QString& key, QByteArray& out) {
    for (const QChar c : key) {
        const char16_t code = c.unicode();
        if (code == '/') {
            out += '\\';
        } else if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z') ||
                   (code >= '0' && code <= '9') || code == '_' || code == '-' || code == '.') {
            out += static_cast<char>(code);
        } else if (code <= 0xFF) {
            out += '%' + QByteArray::number(code, 16).toUpper().rightJustified(2, '0');
        } else {
            out += "%U" + QByteArray::number(code, 16).toUpper().rightJustified(4, '0');
        }
    }
}

void appendEscapedText(const QString& value, QByteArray& out) {
    QString text = value;
    if (text.contains(QChar::Null)) {
        text = QLatin1String("@String(") + text + u')';
    } else if (text.startsWith(u'@')) {
        text.prepend(u'@');
    }
    const qsizetype start = out.size();
    bool needsQuotes = false;
    // After a numeric escape a following hex digit would join it, so it is escaped too.
    bool escapeNextIfHex = false;
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == ';' || code == ',' || code == '=') {
            needsQuotes = true;
        }
        if (escapeNextIfHex && hexValue(code) >= 0) {
            out += "\\x" + QByteArray::number(code, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (code) {
        case '\0':
            out += "\\0";
            escapeNextIfHex = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(code);
            break;
        default:
            if (code <= 0x1F) {
                out += "\\x" + QByteArray::number(code, 16);
                escapeNextIfHex = true;
            } else if (code >= 0x7F) {
                out += toUtf8(QStringView(&c, 1));
            } else {
                out += static_cast<char>(code);
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

} // namespace

QSettings::Format TextIniFormat::format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("conf"), &TextIniFormat::read, &TextIniFormat::write);
    return registered;
}

bool TextIniFormat::read(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.readAll();
    QByteArrayView data(bytes);
    if (data.startsWith("\xef\xbb\xbf")) {
        data = data.sliced(3);
    }
    QString section;
    qsizetype position = 0;
    IniLine line;
    while (nextLine(data, position, line)) {
        if (line.text.startsWith('[')) {
            qsizetype close = line.text.indexOf(']');
            if (close < 0) {
                close = line.text.size();
            }
            const QByteArrayView name = line.text.sliced(1, close - 1).trimmed();
            if (name.compare("general", Qt::CaseInsensitive) == 0) {
                section.clear();
            } else if (name.compare("%general", Qt::CaseInsensitive) == 0) {
                section = QString::fromLatin1(name.sliced(1)) + u'/';
            } else {
                section = unescapedKey(name) + u'/';
            }
            continue;
        }
        // A line without '=' is damage; like every other damaged line it is skipped and
        // the rest of the file still reads.
        if (line.equals < 0) {
            continue;
        }
        const QString key = unescapedKey(line.text.first(line.equals).trimmed());
        const QByteArrayView value = line.text.sliced(line.equals + 1);
        const auto unescaped = unescapedValue(value);
        const auto text = unescaped ? textOf(*unescaped) : std::nullopt;
        map.insert(section + key,
                   text ? QVariant(*text) : QVariant::fromValue(RawValue{value.toByteArray()}));
    }
    return true;
}

bool TextIniFormat::write(QIODevice& device, const QSettings::SettingsMap& map) {
    QMap<QString, QByteArray> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        QByteArray& block = sections[slash < 0 ? QString() : it.key().first(slash)];
        appendEscapedKey(slash < 0 ? it.key() : it.key().sliced(slash + 1), block);
        block += '=';
        if (it.value().metaType() == QMetaType::fromType<RawValue>()) {
            block += it.value().value<RawValue>().text;
        } else {
            appendEscapedText(it.value().toString(), block);
        }
        block += '\n';
    }
    QByteArray out;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        QByteArray name;
        appendEscapedKey(it.key(), name);
        if (name.isEmpty()) {
            name = "General";
        } else if (name.compare("general", Qt::CaseInsensitive) == 0) {
            name = "%General";
        }
        if (!out.isEmpty()) {
            out += '\n';
        }
        out += '[' + name + "]\n" + it.value();
    }
    return device.write(out) == out.size();
}

} // namespace kavro::platform
