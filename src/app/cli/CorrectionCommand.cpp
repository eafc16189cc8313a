// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CorrectionCommand.h"

#include "models/MicCalibrationFile.h"
#include "platform/AudioBackend.h"
#include "platform/Settings.h"
#include "services/MicFrequencyCorrection.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>

namespace kavro::cli {

namespace {

const char* const kCorrectionHelp =
    "Usage: kavro-cli correction show|clear|enable|disable\n"
    "       kavro-cli correction import FILE [--rate HZ]\n"
    "\n"
    "Works on the microphone correction stored in Kavro's preferences.\n"
    "\n"
    "  show      print the stored correction as JSON (or say that none is stored)\n"
    "  clear     delete the stored correction and switch the correction off\n"
    "  enable    switch the stored correction on\n"
    "  disable   switch it off\n"
    "  import    turn a measurement microphone's calibration file (rows of\n"
    "            \"frequency gain [phase]\") into the correction, store it and switch it on\n"
    "\n"
    "  --rate HZ  capture rate to design the filter for (default: the rate of the\n"
    "             input device Kavro has selected)\n"
    "  --help     show this text\n";

constexpr double kLowestRate = 8000.0;
constexpr double kHighestRate = 384000.0;

// The rate of the input device the application has selected (its default input when
// none is selected or the selected one is absent); 0 when no input is known.
double selectedInputRate(platform::PreferencesStore& preferences, platform::AudioBackend& backend) {
    const QString selected = platform::Settings(preferences).value(platform::keys::selectedDeviceUID);
    const auto inputs = backend.inputDevices();
    for (const auto& device : inputs) {
        if (!selected.isEmpty() && device.uid == selected) {
            return device.sampleRate;
        }
    }
    for (const auto& device : inputs) {
        if (device.isDefault) {
            return device.sampleRate;
        }
    }
    return inputs.isEmpty() ? 0.0 : inputs.front().sampleRate;
}

// The capture rate to design for: --rate, else the selected input's. Returns the exit
// code to end with, the reason printed, when there is none.
std::optional<int> readRate(const ParsedArguments& parsed, CommandContext& context,
                            platform::PreferencesStore& preferences, double& rate) {
    if (auto error = readDouble(parsed, "rate", rate)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.values.contains("rate")) {
        if (!(rate >= kLowestRate && rate <= kHighestRate)) {
            printError(
                context,
                QStringLiteral("--rate must lie between %1 and %2 Hz").arg(kLowestRate).arg(kHighestRate));
            return kExitUsage;
        }
        return std::nullopt;
    }
    rate = selectedInputRate(preferences, context.audioBackend());
    if (!(rate >= kLowestRate && rate <= kHighestRate)) {
        printError(context,
                   QStringLiteral("cannot tell the capture rate of the selected input; pass --rate HZ"));
        return kExitFailure;
    }
    return std::nullopt;
}

// The calibration file's rows; none, with the reason printed, when it cannot be read.
std::optional<models::MicCalibrationFile> readCalibrationFile(const QString& path, CommandContext& context) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(context, QStringLiteral("%1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    // One byte more than allowed is enough to tell that the file is too large.
    const QByteArray contents = file.read(models::MicCalibrationFile::kMaxBytes + 1);
    auto parsedFile = models::MicCalibrationFile::parse(contents);
    if (auto* error = std::get_if<models::MicCalibrationFile::Error>(&parsedFile)) {
        printError(context, error->line > 0
                                ? QStringLiteral("%1:%2: %3").arg(path).arg(error->line).arg(error->message)
                                : QStringLiteral("%1: %2").arg(path, error->message));
        return std::nullopt;
    }
    return std::get<models::MicCalibrationFile>(std::move(parsedFile));
}

int importFile(const ParsedArguments& parsed, CommandContext& context,
               platform::PreferencesStore& preferences) {
    if (parsed.positional.size() != 2) {
        printError(context, QStringLiteral("correction import needs exactly one FILE"));
        return kExitUsage;
    }
    double rate = 0;
    if (const auto exit = readRate(parsed, context, preferences, rate)) {
        return *exit;
    }
    const QString path = parsed.positional.at(1);
    const auto read = readCalibrationFile(path, context);
    if (!read) {
        return kExitFailure;
    }
    const models::MicCalibrationFile& calibration = *read;
    const auto noFilter = [&](const QString& reason) {
        printError(context, QStringLiteral("%1: no usable correction filter: %2").arg(path, reason));
        return kExitFailure;
    };
    const auto designed = calibration.toProfile(rate, QDateTime::currentDateTimeUtc());
    const auto* profile = std::get_if<models::MicCorrectionProfile>(&designed);
    if (!profile) {
        return noFilter(std::get<QString>(designed));
    }
    services::MicFrequencyCorrection correction(preferences);
    if (const auto problem = correction.save(*profile)) {
        return noFilter(*problem);
    }
    correction.setIsEnabled(true);
    if (!flushPreferences(context, preferences)) {
        return kExitFailure;
    }

    printCorrectionCurve(context.out, *profile);
    context.err << QStringLiteral("Imported %1 rows for %2 Hz capture; the correction is on.\n")
                       .arg(calibration.points.size())
                       .arg(rate);
    if (calibration.sensitivityDB) {
        // The sensitivity is a broadband level, which the level offset carries, not the filter.
        context.err << QStringLiteral(
                           "The file gives a sensitivity of %1 dB; it is not part of the correction.\n")
                           .arg(*calibration.sensitivityDB);
    }
    return kExitOk;
}

int showCorrection(const services::MicFrequencyCorrection& correction,
                   const platform::PreferencesStore& preferences, CommandContext& context) {
    const auto& profile = correction.profile();
    if (!profile) {
        const bool stored = preferences.contains(platform::keys::micCorrectionProfile.name);
        if (!stored) {
            context.out << "No microphone correction is stored.\n";
        } else if (const auto& problem = correction.storedProfileProblem()) {
            context.out
                << QStringLiteral("The stored microphone correction cannot be read: %1.\n").arg(*problem);
        } else {
            context.out << "The stored microphone correction cannot be read.\n";
        }
        return stored ? kExitFailure : kExitOk;
    }
    if (const auto object = profile->toJson()) {
        context.out << QJsonDocument(*object).toJson(QJsonDocument::Indented);
    }
    context.err << (correction.isEnabled() ? "The correction is on.\n" : "The correction is off.\n");
    return kExitOk;
}

} // namespace

bool flushPreferences(CommandContext& context, platform::PreferencesStore& preferences) {
    if (const auto error = preferences.flush()) {
        printError(context, QStringLiteral("the preferences were not saved: %1").arg(*error));
        return false;
    }
    return true;
}

void printCorrectionCurve(QTextStream& stream, const models::MicCorrectionProfile& profile) {
    for (const auto& point : profile.correctionCurve) {
        stream << QString::asprintf("%8.1f Hz  %+6.2f dB\n", point.frequency, point.gainDB);
    }
    stream.flush();
}

int runCorrection(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (auto error = parseArguments(args, {"help"}, {"rate"}, parsed)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.has("help")) {
        context.out << kCorrectionHelp;
        return kExitOk;
    }
    const QString action = parsed.positional.value(0);
    const bool isImport = action == QLatin1String("import");
    if (!isImport && (parsed.positional.size() != 1 || parsed.values.contains("rate"))) {
        printError(context,
                   QStringLiteral("usage: kavro-cli correction show|clear|enable|disable|import FILE"));
        return kExitUsage;
    }
    static const QStringList kActions{"show", "clear", "enable", "disable", "import"};
    if (!kActions.contains(action)) {
        printError(
            context,
            QStringLiteral("unknown correction action \"%1\" (see kavro-cli correction --help)").arg(action));
        return kExitUsage;
    }

    platform::PreferencesStore& preferences = context.preferences();
    if (isImport) {
        return importFile(parsed, context, preferences);
    }

    services::MicFrequencyCorrection correction(preferences);
    if (action == QLatin1String("show")) {
        return showCorrection(correction, preferences, context);
    }
    const bool enable = action == QLatin1String("enable");
    if (action == QLatin1String("clear")) {
        correction.clear();
    } else {
        correction.setIsEnabled(enable);
    }
    if (!flushPreferences(context, preferences)) {
        return kExitFailure;
    }
    if (action == QLatin1String("clear")) {
        context.err << "Microphone correction cleared.\n";
    } else {
        context.err << (enable ? "The correction is on.\n" : "The correction is off.\n");
        if (enable && !correction.profile()) {
            context.err << "No correction is stored yet: measure one (kavro-cli calibrate) or import one.\n";
        }
    }
    return kExitOk;
}

} // namespace kavro::cli
