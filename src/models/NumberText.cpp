#include "models/NumberText.h"

#include <charconv>

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

} // namespace kavro::models
