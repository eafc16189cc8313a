// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OutputProfileCommand.h"

#include "cli/CorrectionCommand.h"
#include "models/NumberText.h"
#include "models/OutputDataSheet.h"
#include "platform/Settings.h"
#include "services/OutputProfileStore.h"

#include <QDateTime>

namespace kavro::cli {

namespace {

using models::OutputDataSheet;
using models::OutputProfile;

const char* const kOutputProfileHelp =
    "Usage: kavro-cli output-profile\n"
    "       kavro-cli output-profile --set KEY --reference DB [--name NAME]\n"
    "       kavro-cli output-profile --set KEY --sensitivity DB --per mW|V [--impedance OHMS]\n"
    "                                --max-output LEVEL --unit dBu|V [--name NAME]\n"
    "       kavro-cli output-profile --remove KEY\n"
    "\n"
    "Shows or changes the output profiles stored in Kavro's preferences. A profile gives\n"
    "the level in dB SPL that a full-scale RMS signal reaches at the ear with the\n"
    "output's system volume at 100 %; an output without one reads as an estimate. KEY\n"
    "names the output: the sink's name, '#', and the active port's name.\n"
    "\n"
    "  --set KEY           store the profile of this output\n"
    "  --reference DB      the level typed in\n"
    "  --sensitivity DB    the headphones' sensitivity in dB SPL, --per mW (give\n"
    "                      --impedance OHMS too) or --per V\n"
    "  --max-output LEVEL  the interface's output for a full-scale sine, --unit dBu\n"
    "                      or V (volts RMS)\n"
    "  --name NAME         how the output is called (default: as stored, else the KEY)\n"
    "  --remove KEY        forget the profile: the output reads as estimated again\n"
    "  --help              show this text\n"
    "\n"
    "A volume knob on an analog interface or amplifier is invisible to Kavro: set the\n"
    "profile again after turning it.\n";

const QStringList kDataSheetOptions{"sensitivity", "per", "impedance", "max-output", "unit"};

void printProfiles(const services::OutputProfileStore& store, CommandContext& context) {
    if (store.profiles().isEmpty()) {
        context.out << QStringLiteral("No output profile is stored: every output reads as estimated (%1 dB "
                                      "SPL at full scale).\n")
                           .arg(models::fixedText(services::OutputReference{}.fullScaleDbSpl, 1));
        return;
    }
    for (const OutputProfile& profile : store.profiles()) {
        context.out << QStringLiteral("%1  %2 dB SPL  %3, %4  %5\n")
                           .arg(profile.key, models::fixedText(profile.fullScaleDbSpl, 1),
                                OutputProfile::basisText(profile.basis),
                                profile.setAt.toUTC().toString(Qt::ISODate), profile.displayName);
    }
}

// The unit options' words, or why they are not known.
std::variant<OutputDataSheet, QString> readUnits(const ParsedArguments& parsed) {
    OutputDataSheet sheet;
    const QString per = parsed.values.value("per").toLower();
    if (per == QLatin1String("mw")) {
        sheet.sensitivityUnit = OutputDataSheet::SensitivityUnit::perMilliwatt;
    } else if (per == QLatin1String("v")) {
        sheet.sensitivityUnit = OutputDataSheet::SensitivityUnit::perVolt;
    } else {
        return QStringLiteral("--per must be mW or V");
    }
    const QString unit = parsed.values.value("unit").toLower();
    if (unit == QLatin1String("dbu")) {
        sheet.maximumOutputUnit = OutputDataSheet::LevelUnit::dbu;
    } else if (unit == QLatin1String("v")) {
        sheet.maximumOutputUnit = OutputDataSheet::LevelUnit::voltsRms;
    } else {
        return QStringLiteral("--unit must be dBu or V");
    }
    return sheet;
}

// The reference the options give, and how it was found; or the usage error.
std::variant<std::pair<double, OutputProfile::Basis>, QString> readReference(const ParsedArguments& parsed) {
    const bool typed = parsed.values.contains("reference");
    const bool dataSheet =
        std::any_of(kDataSheetOptions.begin(), kDataSheetOptions.end(),
                    [&parsed](const QString& name) { return parsed.values.contains(name); });
    if (typed == dataSheet) {
        return QStringLiteral("--set needs either --reference or the data-sheet figures (see --help)");
    }
    double value = 0;
    if (typed) {
        if (auto error = readDouble(parsed, "reference", value)) {
            return *error;
        }
        return std::pair{value, OutputProfile::Basis::typed};
    }
    for (const char* required : {"sensitivity", "per", "max-output", "unit"}) {
        if (!parsed.values.contains(required)) {
            return QStringLiteral("the data-sheet figures need --%1").arg(QLatin1String(required));
        }
    }
    auto units = readUnits(parsed);
    if (auto* error = std::get_if<QString>(&units)) {
        return *error;
    }
    auto sheet = std::get<OutputDataSheet>(units);
    double impedance = 0;
    for (const auto& [name, target] : {std::pair<const char*, double*>{"sensitivity", &sheet.sensitivityDb},
                                       {"max-output", &sheet.maximumOutput},
                                       {"impedance", &impedance}}) {
        if (auto error = readDouble(parsed, QLatin1String(name), *target)) {
            return *error;
        }
    }
    if (parsed.values.contains("impedance")) {
        sheet.impedanceOhms = impedance;
    }
    const auto reference = sheet.reference();
    if (const auto* problem = std::get_if<QString>(&reference)) {
        return *problem;
    }
    return std::pair{std::get<double>(reference), OutputProfile::Basis::dataSheet};
}

int setProfile(const ParsedArguments& parsed, services::OutputProfileStore& store, CommandContext& context) {
    const QString key = parsed.values.value("set");
    const auto reference = readReference(parsed);
    if (const auto* error = std::get_if<QString>(&reference)) {
        printError(context, *error);
        return kExitUsage;
    }
    const auto [level, basis] = std::get<std::pair<double, OutputProfile::Basis>>(reference);
    const auto previous = store.profileFor(key);
    const QString name = parsed.values.value("name", previous ? previous->displayName : key);
    if (const auto problem = store.setProfile({key, name, level, basis, QDateTime::currentDateTimeUtc()})) {
        printError(context, *problem);
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int runOutputProfile(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    const QSet<QString> valued{"set", "remove",    "reference",  "name", "sensitivity",
                               "per", "impedance", "max-output", "unit"};
    if (const auto exit =
            parseCommandOptions(args, {}, valued, QString::fromUtf8(kOutputProfileHelp), context, parsed)) {
        return *exit;
    }
    const bool set = parsed.values.contains("set");
    const bool remove = parsed.values.contains("remove");
    if (set && remove) {
        printError(context, QStringLiteral("--set and --remove go apart"));
        return kExitUsage;
    }
    if (!set && parsed.values.size() > (remove ? 1 : 0)) {
        printError(context, QStringLiteral("the figures of a profile need --set KEY"));
        return kExitUsage;
    }
    auto& preferences = context.preferences();
    services::OutputProfileStore store(preferences);
    if (remove) {
        if (!store.remove(parsed.values.value("remove"))) {
            printError(context,
                       QStringLiteral("no profile is stored for \"%1\"").arg(parsed.values.value("remove")));
            return kExitFailure;
        }
    } else if (set) {
        if (const int exit = setProfile(parsed, store, context); exit != kExitOk) {
            return exit;
        }
    }
    if ((set || remove) && !flushPreferences(context, preferences)) {
        return kExitFailure;
    }
    printProfiles(store, context);
    return kExitOk;
}

} // namespace kavro::cli
