#pragma once

#include <QString>

namespace kavro::models {

// A number with a fixed count of decimals, exactly as printf("%.Nf") writes it in the
// C locale: a full stop whatever the user's locale, and ties of the stored binary value
// rounded to even (101.25 gives 101.2), which QString::asprintf does not do.
QString fixedText(double value, int decimals);

} // namespace kavro::models
