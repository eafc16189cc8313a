// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QMetaType>
#include <QSettings>

namespace kavro::platform {

// The preferences file's format: the INI text QSettings::IniFormat writes, read and
// written here instead of by Qt. Qt's own reader turns a value "@Variant(...)" into an
// object of whatever type the bytes name (images, cursors, any registered type) and
// aborts the program for a GUI type when there is no GUI application; a preferences file
// is outside input, so here a value is only ever text.
//
// Text values read and write exactly as QSettings::IniFormat reads and writes them (the
// same escapes, quotes and UTF-8), so files of either stay readable by the other. Any
// other kind of value (a list, "@Variant(...)", "@ByteArray(...)", ...) is kept as its
// raw text in a RawValue: it reads as no text and is written back unchanged. Sections and
// keys are written in sorted order.
class TextIniFormat {
public:
    // A value that is not text, as it stands in the file after its "=".
    struct RawValue {
        QByteArray text;
    };

    // The format registered with QSettings (once, on first use), for files named *.conf.
    static QSettings::Format format();

    static bool read(QIODevice& device, QSettings::SettingsMap& map);
    static bool write(QIODevice& device, const QSettings::SettingsMap& map);
};

} // namespace kavro::platform

Q_DECLARE_METATYPE(kavro::platform::TextIniFormat::RawValue)
