// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Lets GoogleTest print Qt's strings and dates as text when an expectation fails, rather
// than as the bytes of the object.
#include <QDate>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QDate& day, std::ostream* out) {
    *out << day.toString(Qt::ISODate).toStdString();
}
