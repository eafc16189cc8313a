#pragma once

// Temporary stand-in for the dose bands until the exposure work is merged.
#include <QString>

namespace kavro::models {

enum class DoseLevel { safe, caution, warning, danger };

inline QString rawValue(DoseLevel level) {
    switch (level) {
    case DoseLevel::safe:
        return QStringLiteral("safe");
    case DoseLevel::caution:
        return QStringLiteral("caution");
    case DoseLevel::warning:
        return QStringLiteral("warning");
    case DoseLevel::danger:
        return QStringLiteral("danger");
    }
    return {};
}

} // namespace kavro::models
