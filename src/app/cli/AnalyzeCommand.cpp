// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalyzeCommand.h"
#include "cli/CriteriaLines.h"

#include "cli/ExposureAnalysis.h"
#include "cli/FileMeter.h"
#include "cli/PieceMeter.h"
#include "cli/SecondSummary.h"
#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "platform/file/QtFileStore.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

namespace kavro::cli {

using models::fixedText;

namespace {

const char* const kAnalyzeHelp =
    "Usage: kavro-cli analyze FILE [--offset DB] [--channel N] [--conservative] [--criteria] [--json]\n"
    "                         [--csv OUT]\n"
    "\n"
    "Measures a sound file (any format libsndfile reads) as if it were heard live: the\n"
    "LAeq, LCeq and highest peaks of every 0.1 s of audio feed the daily dose and the\n"
    "rolling statistics, as Kavro does during a session. Your own stored dose is never\n"
    "touched.\n"
    "\n"
    "Reports the duration, LAeq and LCeq (true energy averages over the whole file), the\n"
    "dose, the dose of 8 hours at the file's LAeq, the projection to the end of an 8-hour\n"
    "day if the final level went on, the EU peak counts (0.1 s intervals with a peak of\n"
    "135, 137, 140 dBC and 115 dBA or more), the highest C- and A-weighted peaks, and Leq\n"
    "1/10/30 min and L10/L50/L90 at the end (\"—\" where the file is too short for a value).\n"
    "\n"
    "  --offset DB     calibration offset added to every level (default 94)\n"
    "  --channel N     channel to measure, counted from 0 (default 0)\n"
    "  --conservative  dose from the higher of the A- and C-weighted levels\n"
    "  --criteria      also every exposure criterion: NIOSH REL, OSHA PEL, OSHA hearing\n"
    "                  conservation, EU L_EX,8h and the WHO weekly dose (the file's share\n"
    "                  of a week), with projections and time left at the final level\n"
    "  --json          the report as one JSON object (null where a value is absent)\n"
    "  --csv OUT       also write a per-second time history to OUT\n"
    "  --help          show this text\n";

// Shorter files finish before a progress bar would be worth drawing.
constexpr double kProgressMinimumSeconds = 60.0;

// Draws "[#####     ]  42 %" on standard error, redrawn only when the percentage moves.
class ProgressBar {
public:
    ProgressBar(QTextStream& err, bool enabled) : m_err(err), m_enabled(enabled) {}
    ~ProgressBar() { clear(); }

    void update(double fraction) {
        if (!m_enabled) {
            return;
        }
        const int percent = std::clamp(static_cast<int>(fraction * 100.0), 0, 100);
        if (percent == m_shownPercent) {
            return;
        }
        m_shownPercent = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        m_err << '\r' << '[' << QString(filled, QLatin1Char('#'))
              << QString(kWidth - filled, QLatin1Char(' ')) << "] "
              << QString::number(percent).rightJustified(3) << " %";
        m_err.flush();
    }
    void clear() {
        if (m_enabled && m_shownPercent >= 0) {
            m_err << '\r' << QString(60, QLatin1Char(' ')) << '\r';
            m_err.flush();
            m_shownPercent = -1;
        }
    }

private:
    QTextStream& m_err;
    const bool m_enabled;
    int m_shownPercent = -1;
};

QString formatted(std::optional<double> value, const char* unit) {
    if (!value || !std::isfinite(*value)) {
        return QStringLiteral("—");
    }
    return fixedText(*value, 1) + QLatin1Char(' ') + QLatin1String(unit);
}

QJsonValue jsonNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return QJsonValue(QJsonValue::Null);
    }
    return QJsonValue(*value);
}

QString csvNumber(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return QString();
    }
    return fixedText(*value, 2);
}

struct Report {
    QString file;
    double sampleRate = 0;
    int channel = 0;
    double durationSeconds = 0;
    double calibrationOffset = 0;
    std::optional<double> laeq;
    std::optional<double> lceq;
    double maxPeakDBA = 0;
    // What an engineer asks of a recording: the dose of a whole working day at its LAeq.
    double dose8hAtLAeq = 0;
};

double eightHourDose(std::optional<double> laeq) {
    if (!laeq || !(*laeq >= dsp::niosh::kThresholdDb)) {
        return 0.0;
    }
    return dsp::dose::doseFraction(*laeq, dsp::niosh::kCriterionHours * 3600.0) * 100.0;
}

void printText(CommandContext& context, const Report& report, const services::DoseCalculator& dose,
               const services::LeqStatisticsService& statistics) {
    QTextStream& out = context.out;
    out << "File:                " << report.file << '\n'
        << "Duration:            " << fixedText(report.durationSeconds, 1) << " s ("
        << QString::number(report.sampleRate) << " Hz, channel " << report.channel << ")\n"
        << "Calibration offset:  " << fixedText(report.calibrationOffset, 1) << " dB\n"
        << "LAeq:                " << formatted(report.laeq, "dBA") << '\n'
        << "LCeq:                " << formatted(report.lceq, "dBC") << '\n'
        << "Dose:                " << fixedText(dose.dosePercentage(), 2) << " % ("
        << models::label(dose.doseLevel()) << ")\n"
        << "8 hours at this LAeq: " << fixedText(report.dose8hAtLAeq, 0) << " %\n"
        << "Projected dose:      " << fixedText(dose.projectedDoseAtEndOfDay(), 2)
        << " % at the end of an 8-hour day, if the final level went on\n"
        << "Peaks ≥ 135/137/140 dBC: " << dose.peakCount135() << " / " << dose.peakCount137() << " / "
        << dose.peakCount140() << '\n'
        << "Peaks ≥ 115 dBA:     " << dose.peakDBACount115() << '\n'
        << "Highest C peak:      " << fixedText(dose.todayPeakDBC(), 1) << " dBC\n"
        << "Highest A peak:      " << fixedText(report.maxPeakDBA, 1) << " dBA\n"
        << "Leq 1/10/30 min:     " << formatted(statistics.leq1min(), "dB") << "  "
        << formatted(statistics.leq10min(), "dB") << "  " << formatted(statistics.leq30min(), "dB") << '\n'
        << "L10/L50/L90:         " << formatted(statistics.l10(), "dB") << "  "
        << formatted(statistics.l50(), "dB") << "  " << formatted(statistics.l90(), "dB") << '\n';
}

void printJson(CommandContext& context, const Report& report, const services::DoseCalculator& dose,
               const services::LeqStatisticsService& statistics, const QJsonObject& criteria) {
    QJsonObject object{
        {"file", report.file},
        {"sampleRate", report.sampleRate},
        {"channel", report.channel},
        {"durationSeconds", report.durationSeconds},
        {"calibrationOffset", report.calibrationOffset},
        {"laeq", jsonNumber(report.laeq)},
        {"lceq", jsonNumber(report.lceq)},
        {"dosePercentage", dose.dosePercentage()},
        {"dose8hAtLAeq", report.dose8hAtLAeq},
        {"projectedDoseAtEndOfDay", dose.projectedDoseAtEndOfDay()},
        {"peakCount135", static_cast<qint64>(dose.peakCount135())},
        {"peakCount137", static_cast<qint64>(dose.peakCount137())},
        {"peakCount140", static_cast<qint64>(dose.peakCount140())},
        {"peakDBACount115", static_cast<qint64>(dose.peakDBACount115())},
        {"todayPeakDBC", dose.todayPeakDBC()},
        {"maxPeakDBA", report.maxPeakDBA},
        {"leq1min", jsonNumber(statistics.leq1min())},
        {"leq10min", jsonNumber(statistics.leq10min())},
        {"leq30min", jsonNumber(statistics.leq30min())},
        {"l10", jsonNumber(statistics.l10())},
        {"l50", jsonNumber(statistics.l50())},
        {"l90", jsonNumber(statistics.l90())},
    };
    if (!criteria.isEmpty()) {
        object.insert("criteria", criteria);
    }
    context.out << QJsonDocument(object).toJson(QJsonDocument::Indented);
}

struct AnalyzeRequest {
    FileCommand command;
    QString csvPath;
    bool json = false;
    bool conservative = false;
    bool criteria = false;
};

std::variant<AnalyzeRequest, int> parseAnalyze(const QStringList& args, CommandContext& context) {
    auto opened = openFileCommand(args, context, QStringLiteral("analyze"), kAnalyzeHelp,
                                  {"json", "conservative", "criteria"}, {"csv"});
    if (const int* exitCode = std::get_if<int>(&opened)) {
        return *exitCode;
    }
    AnalyzeRequest request;
    request.command = std::move(std::get<FileCommand>(opened));
    const ParsedArguments& parsed = request.command.parsed;
    request.csvPath = parsed.values.value("csv");
    if (parsed.values.contains("csv") && request.csvPath.isEmpty()) {
        printError(context, QStringLiteral("--csv needs a file name"));
        return kExitUsage;
    }
    request.json = parsed.has("json");
    request.conservative = parsed.has("conservative");
    request.criteria = parsed.has("criteria");
    return request;
}

// The per-second time history of --csv, kept in memory and written only when the whole
// run succeeded, so that a failed run never leaves a truncated file behind.
class CsvHistory {
public:
    CsvHistory(bool enabled, double calibrationOffset) : m_enabled(enabled), m_offset(calibrationOffset) {
        if (m_enabled) {
            m_out << "time,laeq,lceq,dBA,dBC,peakDBA,peakDBC,dosePercentage\n";
        }
    }
    void add(const SecondSummary& second, double dosePercentage) {
        if (!m_enabled) {
            return;
        }
        m_out << fixedText(second.endSeconds, 3) << ',' << csvNumber(second.energy.laeq(m_offset)) << ','
              << csvNumber(second.energy.lceq(m_offset)) << ',' << csvNumber(second.dBA) << ','
              << csvNumber(second.dBC) << ',' << csvNumber(second.peakDBA) << ',' << csvNumber(second.peakDBC)
              << ',' << fixedText(dosePercentage, 4) << '\n';
    }
    QByteArray text() {
        m_out.flush();
        return m_text.toUtf8();
    }

private:
    const bool m_enabled;
    const double m_offset;
    QString m_text;
    QTextStream m_out{&m_text};
};

// Runs the file through the analysis: on every core when it is long enough to share
// out, else in one pass. Returns the frames measured.
std::int64_t measureFile(FileMeter& meter, const FileMeter::Options& options,
                         const std::function<void(const BufferExposure&)>& onBuffer) {
    const unsigned threads = std::max(1U, std::thread::hardware_concurrency());
    if (auto pieces = PieceMeter::open(options, meter.sampleRate(), meter.frameCount(), threads)) {
        return pieces->run(onBuffer);
    }
    const double rate = meter.sampleRate();
    return meter.run([&](const dsp::MeterReading& reading, std::int64_t startFrame) {
        onBuffer(ExposureAnalysis::cut(meter.meter(), reading, startFrame, rate));
    });
}

// Measures the file into the analysis, the report and the time history.
std::int64_t measure(const AnalyzeRequest& request, ExposureAnalysis& analysis, Report& report,
                     CsvHistory& csv, CommandContext& context) {
    FileMeter& meter = *request.command.meter;
    const double sampleRate = meter.sampleRate();
    EnergyAverage wholeFile;
    SecondTracker seconds(sampleRate);
    const auto totalFrames = meter.frameCount();
    ProgressBar progress(context.err, context.errIsTerminal && static_cast<double>(totalFrames) >
                                                                   kProgressMinimumSeconds * sampleRate);
    const std::int64_t measured =
        measureFile(meter, request.command.options, [&](const BufferExposure& buffer) {
            const dsp::MeterReading& reading = buffer.reading;
            analysis.add(buffer);
            wholeFile.add(reading);
            report.maxPeakDBA = std::max(report.maxPeakDBA, reading.peakDBA);
            if (const auto finished = seconds.add(reading, buffer.startFrame)) {
                csv.add(*finished, analysis.dose().dosePercentage());
            }
            const auto endFrame = buffer.startFrame + static_cast<std::int64_t>(reading.frames);
            progress.update(static_cast<double>(endFrame) / static_cast<double>(totalFrames));
        });
    analysis.finish();
    if (const auto last = seconds.finish()) {
        csv.add(*last, analysis.dose().dosePercentage());
    }
    progress.clear();
    const double offset = request.command.options.calibrationOffset;
    report.durationSeconds = static_cast<double>(measured) / sampleRate;
    report.laeq = wholeFile.laeq(offset);
    report.lceq = wholeFile.lceq(offset);
    report.dose8hAtLAeq = eightHourDose(report.laeq);
    return measured;
}

} // namespace

int runAnalyze(const QStringList& args, CommandContext& context) {
    auto parsed = parseAnalyze(args, context);
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    const AnalyzeRequest& request = std::get<AnalyzeRequest>(parsed);
    const FileMeter::Options& options = request.command.options;
    FileMeter& meter = *request.command.meter;

    ExposureAnalysis analysis(meter.sampleRate(), request.conservative);
    CsvHistory csv(!request.csvPath.isEmpty(), options.calibrationOffset);
    Report report;
    report.file = options.path;
    report.sampleRate = meter.sampleRate();
    report.channel = options.channel;
    report.calibrationOffset = options.calibrationOffset;
    const std::int64_t measured = measure(request, analysis, report, csv, context);
    if (const auto warning = meter.cutShortWarning(measured)) {
        printWarning(context, *warning);
    }

    if (!request.csvPath.isEmpty()) {
        // Onto "/dev/stdout" the CSV comes before the report, in order.
        context.out.flush();
        platform::QtFileStore files;
        if (auto error =
                files.writeFile(request.csvPath, csv.text(), platform::FileStore::Access::userDefault)) {
            printError(context, QStringLiteral("%1: cannot write: %2").arg(request.csvPath, *error));
            return kExitFailure;
        }
    }
    const services::CriteriaMeter& criteria = analysis.criteria();
    const auto figures = criteria.figures(analysis.dose().accumulatedDose(),
                                          criteria.today().dose(dsp::criteria::Criterion::whoWeekly));
    if (request.json) {
        printJson(context, report, analysis.dose(), analysis.statistics(),
                  request.criteria ? criteriaJson(figures) : QJsonObject());
    } else {
        printText(context, report, analysis.dose(), analysis.statistics());
        if (request.criteria) {
            printCriteria(context.out, figures);
        }
    }
    context.out.flush();
    return kExitOk;
}

} // namespace kavro::cli
