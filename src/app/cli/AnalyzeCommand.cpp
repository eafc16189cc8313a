#include "cli/AnalyzeCommand.h"

#include "cli/FileMeter.h"
#include "cli/SecondSummary.h"
#include "platform/Clock.h"
#include "platform/MemoryPreferencesStore.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kavro::cli {

namespace {

const char* const kAnalyzeHelp =
    "Usage: kavro-cli analyze FILE [--offset DB] [--channel N] [--conservative] [--json] [--csv OUT]\n"
    "\n"
    "Measures a sound file (any format libsndfile reads) as if it were heard live: every\n"
    "0.1 s of audio the latest levels feed the daily dose and the rolling statistics, as\n"
    "Kavro does during a session. Your own stored dose is never touched.\n"
    "\n"
    "Reports the duration, LAeq and LCeq (true energy averages over the whole file), the\n"
    "dose and its projection to the end of an 8-hour day, the EU peak counts (135, 137,\n"
    "140 dBC and 115 dBA), the highest C-weighted peak seen by the dose calculator, the\n"
    "highest A-weighted peak of any buffer, and Leq 1/10/30 min and L10/L50/L90 at the end\n"
    "(\"—\" where the file is too short for a value).\n"
    "\n"
    "  --offset DB     calibration offset added to every level (default 94)\n"
    "  --channel N     channel to measure, counted from 0 (default 0)\n"
    "  --conservative  dose from the higher of the A- and C-weighted levels\n"
    "  --json          the report as one JSON object (null where a value is absent)\n"
    "  --csv OUT       also write a per-second time history to OUT\n"
    "  --help          show this text\n";

constexpr double kFeedRateHz = 10.0;
constexpr qint64 kFeedIntervalMs = 100;
// Shorter files finish before a progress bar would be worth drawing.
constexpr double kProgressMinimumSeconds = 60.0;

// The clock of the file: "now" is the moment the audio has reached, counted from a
// fixed origin, so a run does not depend on when or where it happens.
class FileClock final : public platform::Clock {
public:
    QDateTime now() const override { return origin().addMSecs(m_elapsedMs); }
    QTimeZone timeZone() const override { return QTimeZone::utc(); }

    static QDateTime origin() { return QDateTime(QDate(2000, 1, 3), QTime(0, 0), QTimeZone::utc()); }
    void setElapsedMs(qint64 elapsedMs) { m_elapsedMs = elapsedMs; }

private:
    qint64 m_elapsedMs = 0;
};

// The values the fast feed reads from the meter.
struct LatestLevels {
    double dBA = 0;
    double dBC = 0;
    double peakDBC = 0;
    double peakDBA = 0;
};

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
    return QString::asprintf("%.1f %s", *value, unit);
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
    return QString::number(*value, 'f', 2);
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
};

void printText(CommandContext& context, const Report& report, const services::DoseCalculator& dose,
               const services::LeqStatisticsService& statistics) {
    QTextStream& out = context.out;
    out << "File:                " << report.file << '\n'
        << QString::asprintf("Duration:            %.1f s (%g Hz, channel %d)\n", report.durationSeconds,
                             report.sampleRate, report.channel)
        << QString::asprintf("Calibration offset:  %.1f dB\n", report.calibrationOffset)
        << "LAeq:                " << formatted(report.laeq, "dBA") << '\n'
        << "LCeq:                " << formatted(report.lceq, "dBC") << '\n'
        << QString::asprintf("Dose:                %.2f %% (%s)\n", dose.dosePercentage(),
                             qPrintable(models::label(dose.doseLevel())))
        << QString::asprintf("Projected dose:      %.2f %% at the end of an 8-hour day\n",
                             dose.projectedDoseAtEndOfDay())
        << QString::asprintf(
               "Peaks ≥ 135/137/140 dBC: %lld / %lld / %lld\n", static_cast<long long>(dose.peakCount135()),
               static_cast<long long>(dose.peakCount137()), static_cast<long long>(dose.peakCount140()))
        << QString::asprintf("Peaks ≥ 115 dBA:     %lld\n", static_cast<long long>(dose.peakDBACount115()))
        << QString::asprintf("Highest C peak:      %.1f dBC\n", dose.todayPeakDBC())
        << QString::asprintf("Highest A peak:      %.1f dBA\n", report.maxPeakDBA)
        << "Leq 1/10/30 min:     " << formatted(statistics.leq1min(), "dB") << "  "
        << formatted(statistics.leq10min(), "dB") << "  " << formatted(statistics.leq30min(), "dB") << '\n'
        << "L10/L50/L90:         " << formatted(statistics.l10(), "dB") << "  "
        << formatted(statistics.l50(), "dB") << "  " << formatted(statistics.l90(), "dB") << '\n';
}

void printJson(CommandContext& context, const Report& report, const services::DoseCalculator& dose,
               const services::LeqStatisticsService& statistics) {
    const QJsonObject object{
        {"file", report.file},
        {"sampleRate", report.sampleRate},
        {"channel", report.channel},
        {"durationSeconds", report.durationSeconds},
        {"calibrationOffset", report.calibrationOffset},
        {"laeq", jsonNumber(report.laeq)},
        {"lceq", jsonNumber(report.lceq)},
        {"dosePercentage", dose.dosePercentage()},
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
    context.out << QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace

int runAnalyze(const QStringList& args, CommandContext& context) {
    auto opened = openFileCommand(args, context, QStringLiteral("analyze"), kAnalyzeHelp,
                                  {"json", "conservative"}, {"csv"});
    if (const int* exitCode = std::get_if<int>(&opened)) {
        return *exitCode;
    }
    FileCommand& command = std::get<FileCommand>(opened);
    const ParsedArguments& parsed = command.parsed;
    const FileMeter::Options& options = command.options;
    auto& meter = *command.meter;
    const QString csvPath = parsed.values.value("csv");
    if (parsed.values.contains("csv") && csvPath.isEmpty()) {
        printError(context, QStringLiteral("--csv needs a file name"));
        return kExitUsage;
    }

    const double sampleRate = meter.sampleRate();

    // The time history is written to a temporary file and put in place only when the
    // whole run succeeded, so a failed run never leaves a truncated CSV behind.
    std::unique_ptr<QSaveFile> csv;
    std::unique_ptr<QTextStream> csvOut;
    if (!csvPath.isEmpty()) {
        csv = std::make_unique<QSaveFile>(csvPath);
        if (!csv->open(QIODevice::WriteOnly | QIODevice::Text)) {
            printError(context, QStringLiteral("%1: cannot write: %2").arg(csvPath, csv->errorString()));
            return kExitFailure;
        }
        csvOut = std::make_unique<QTextStream>(csv.get());
        *csvOut << "time,laeq,lceq,dBA,dBC,peakDBA,peakDBC,dosePercentage\n";
    }

    // An in-memory store: analysing a file must never change the user's real dose.
    platform::MemoryPreferencesStore preferences;
    FileClock clock;
    services::DoseCalculator dose(preferences, clock);
    dose.setConservativeMode(parsed.has("conservative"));
    services::LeqStatisticsService statistics(kFeedRateHz);

    Report report;
    report.file = options.path;
    report.sampleRate = sampleRate;
    report.channel = options.channel;
    report.calibrationOffset = options.calibrationOffset;

    // The fast feed on file time: tick k fires when the audio reaches k × 0.1 s and
    // reads what the meter had published by then, that is the levels of the last
    // buffer that ended at or before that moment.
    LatestLevels latest;
    std::int64_t tick = 1;
    auto tickFrame = [&] { return static_cast<double>(tick) * sampleRate / kFeedRateHz; };
    auto feedUntil = [&](double frame, bool inclusive) {
        while (inclusive ? tickFrame() <= frame : tickFrame() < frame) {
            clock.setElapsedMs(tick * kFeedIntervalMs);
            dose.addMeasurement(latest.dBA, latest.dBC, latest.peakDBC, latest.peakDBA, clock.now());
            // The calculator publishes from tasks posted to this thread: run them before
            // the next tick, as the application's event loop would (for every receiver,
            // as FileMeter does, so that Qt's queue stays short).
            QCoreApplication::sendPostedEvents();
            statistics.addReading(latest.dBA);
            ++tick;
        }
    };

    EnergyAverage wholeFile;
    SecondTracker seconds(sampleRate);
    auto writeSecond = [&](const SecondSummary& second) {
        if (!csvOut) {
            return;
        }
        *csvOut << QString::number(second.endSeconds, 'f', 3) << ','
                << csvNumber(second.energy.laeq(options.calibrationOffset)) << ','
                << csvNumber(second.energy.lceq(options.calibrationOffset)) << ',' << csvNumber(second.dBA)
                << ',' << csvNumber(second.dBC) << ',' << csvNumber(second.peakDBA) << ','
                << csvNumber(second.peakDBC) << ',' << QString::number(dose.dosePercentage(), 'f', 4) << '\n';
    };

    const auto totalFrames = meter.frameCount();
    ProgressBar progress(context.err,
                         context.errIsTerminal && static_cast<double>(totalFrames) > kProgressMinimumSeconds * sampleRate);
    const std::int64_t measured = meter.run(
        [&](const services::AudioMeasurementService& service, std::int64_t startFrame, std::size_t frames) {
            const auto endFrame = startFrame + static_cast<std::int64_t>(frames);
            feedUntil(static_cast<double>(endFrame), false);
            latest = {service.currentSPL(), service.currentDBC(), service.peakDBC(), service.peakDBA()};
            wholeFile.add(service.lastBuffer());
            report.maxPeakDBA = std::max(report.maxPeakDBA, service.peakDBA());
            if (const auto finished = seconds.add(service, startFrame, frames)) {
                writeSecond(*finished);
            }
            if (totalFrames > 0) {
                progress.update(static_cast<double>(endFrame) / static_cast<double>(totalFrames));
            }
        });
    feedUntil(static_cast<double>(measured), true);
    if (const auto last = seconds.finish()) {
        writeSecond(*last);
    }
    progress.clear();

    report.durationSeconds = static_cast<double>(measured) / sampleRate;
    report.laeq = wholeFile.laeq(options.calibrationOffset);
    report.lceq = wholeFile.lceq(options.calibrationOffset);

    if (csv) {
        csvOut->flush();
        if (csvOut->status() != QTextStream::Ok || !csv->commit()) {
            printError(context, QStringLiteral("%1: cannot write: %2").arg(csvPath, csv->errorString()));
            return kExitFailure;
        }
    }
    if (parsed.has("json")) {
        printJson(context, report, dose, statistics);
    } else {
        printText(context, report, dose, statistics);
    }
    context.out.flush();
    return kExitOk;
}

} // namespace kavro::cli
