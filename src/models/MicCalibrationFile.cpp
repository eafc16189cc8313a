// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/MicCalibrationFile.h"

#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace kavro::models {

namespace {

// Decimal numbers with a dot as the decimal mark; rowFields() turns decimal commas into dots.
std::optional<double> number(QStringView text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool isCommentLine(QStringView line) {
    return line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')) ||
           line.startsWith(QLatin1Char('*')) || line.startsWith(QLatin1String("//"));
}

// A deviation beyond this is not a microphone response but a broken file.
constexpr double kLargestDeviationDB = 60.0;

// The fields of one row. Spaces or tabs separate them, or commas (with or without
// spaces). Where only spaces or tabs separate the fields, a comma inside a field is a
// decimal mark, as spreadsheets in many languages write numbers: "1000\t-0,85".
// A row of nothing but separators (spreadsheets end files with ",,,") has no fields.
QStringList rowFields(const QString& line) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
    const bool commasAreDecimalMarks =
        fields.size() >= 2 && std::none_of(fields.cbegin(), fields.cend(), [](const QString& field) {
            return field.startsWith(QLatin1Char(',')) || field.endsWith(QLatin1Char(','));
        });
    if (commasAreDecimalMarks) {
        for (QString& field : fields) {
            field.replace(QLatin1Char(','), QLatin1Char('.'));
        }
        return fields;
    }
    return line.split(separators, Qt::SkipEmptyParts);
}

// Lines end in LF, CR LF or a lone CR (older spreadsheet exports).
QStringList fileLines(const QByteArray& contents) {
    QString text = QString::fromUtf8(contents);
    // A byte-order mark would make the first row look like a header.
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineEnd);
}

} // namespace

std::variant<MicCalibrationFile, MicCalibrationFile::Error>
MicCalibrationFile::parse(const QByteArray& contents) {
    if (contents.size() > kMaxBytes) {
        return Error{
            0, QStringLiteral("the file is larger than %1 bytes; not a calibration file").arg(kMaxBytes)};
    }
    static const QRegularExpression sensitivityLine(
        QStringLiteral("sens[a-z ]*[=:]\\s*([-+]?[0-9]*[.,]?[0-9]+(?:[eE][-+]?[0-9]+)?)\\s*(?:db)?"),
        QRegularExpression::CaseInsensitiveOption);

    MicCalibrationFile file;
    const QStringList lines = fileLines(contents);
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int lineNumber = static_cast<int>(index) + 1;
        const QString line = lines.at(index).trimmed();
        if (line.isEmpty() || isCommentLine(line)) {
            continue;
        }
        const QStringList fields = rowFields(line);
        if (fields.isEmpty()) {
            continue;
        }
        const auto frequency = number(fields.front());
        if (!frequency) {
            // A header line; data rows must not be interrupted by one.
            if (!file.points.empty()) {
                return Error{lineNumber, QStringLiteral("expected a row \"frequency gain [phase]\"")};
            }
            const auto match = sensitivityLine.match(line);
            if (match.hasMatch() && !file.sensitivityDB) {
                file.sensitivityDB = number(match.captured(1).replace(QLatin1Char(','), QLatin1Char('.')));
            }
            continue;
        }
        if (fields.size() < 2 || fields.size() > 3) {
            return Error{lineNumber,
                         QStringLiteral("expected a row \"frequency gain [phase]\", found %1 field%2")
                             .arg(fields.size())
                             .arg(fields.size() == 1 ? "" : "s")};
        }
        const auto gain = number(fields.at(1));
        if (!gain || (fields.size() == 3 && !number(fields.at(2)))) {
            return Error{lineNumber, QStringLiteral("the gain and phase must be numbers")};
        }
        if (!(*frequency > 0.0)) {
            return Error{lineNumber, QStringLiteral("the frequency must be above 0 Hz")};
        }
        if (!file.points.empty() && !(*frequency > file.points.back().frequency)) {
            return Error{lineNumber, QStringLiteral("frequencies must rise from row to row")};
        }
        if (std::abs(*gain) > kLargestDeviationDB) {
            return Error{lineNumber, QStringLiteral("a gain of %1 dB is not plausible").arg(*gain)};
        }
        file.points.push_back({*frequency, *gain});
    }
    if (file.points.empty()) {
        return Error{0, QStringLiteral("no rows \"frequency gain [phase]\" found")};
    }
    return file;
}

std::variant<MicCorrectionProfile, QString> MicCalibrationFile::toProfile(double sampleRate,
                                                                          const QDateTime& now) const {
    const dsp::RealFft fft(dsp::correction::kFftSize);
    const auto design = dsp::correction::designFromDeviation(points, sampleRate, fft);
    if (!design) {
        return QStringLiteral("the FFT for the filter design is not available");
    }
    auto profile = MicCorrectionProfile::fromDesign(*design, sampleRate, now);
    // Rows at absurd frequencies (1e-320 Hz) make the interpolation divide infinities.
    if (auto problem = profile.problem()) {
        return *problem;
    }
    return profile;
}

} // namespace kavro::models
