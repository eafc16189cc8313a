// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/NumberText.h"

#include <charconv>
#include <cmath>

namespace kavro::models {

QString fixedText(double value, int decimals) {
    // Enough for any double in fixed notation (up to 309 integer digits) and the decimals.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return QString::asprintf("%.*f", decimals, value);
    }
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

void appendShortestText(QByteArray& out, double value) {
    // The longest shortest form is 24 characters ("-2.2250738585072014e-308").
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr - buffer);
}

QString shortestText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString shortestFixedText(double value) {
    // Fixed notation of the largest double takes 309 digits.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (std::isfinite(value) && !text.contains(QLatin1Char('.'))) {
        text += QStringLiteral(".0");
    }
    return text;
}

} // namespace kavro::models
