// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace kavro::models {

// A number with a fixed count of decimals, exactly as printf("%.Nf") writes it in the
// C locale: a full stop whatever the user's locale, and ties of the stored binary value
// rounded to even (101.25 gives 101.2), which QString::asprintf and QString::number do
// not do.
QString fixedText(double value, int decimals);

// The shortest decimal text that reads back as exactly the same double ("0.1", "44100",
// "1e+300"), with a full stop whatever the user's locale.
QString shortestText(double value);
// The same text appended to `out`, without a string of its own: the history writer
// writes tens of thousands of numbers.
void appendShortestText(QByteArray& out, double value);
// The shortest text without an exponent that reads back as the same double, always with
// a fractional part ("44100.0", "1741944413.125"): how console lines and notification
// identifiers write sample rates and moments.
QString shortestFixedText(double value);

} // namespace kavro::models
