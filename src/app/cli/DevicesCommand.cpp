// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DevicesCommand.h"

#include "platform/AudioBackend.h"
#include "platform/MemoryPreferencesStore.h"
#include "services/AudioDeviceManager.h"

namespace kavro::cli {

namespace {

const char* const kDevicesHelp =
    "Usage: kavro-cli devices\n"
    "\n"
    "Lists the audio input and output devices: UID (what --input and --output take),\n"
    "name, channels and sample rate. The system default is marked with *.\n";

void printList(CommandContext& context, const char* title, const QList<models::AudioDevice>& devices,
               const QList<platform::AudioDeviceDescription>& descriptions) {
    context.out << title << '\n';
    if (devices.isEmpty()) {
        context.out << "  (none)\n";
    }
    for (const auto& device : devices) {
        platform::AudioDeviceDescription description;
        for (const auto& candidate : descriptions) {
            if (candidate.uid == device.uid) {
                description = candidate;
                break;
            }
        }
        context.out << QStringLiteral("%1 %2  \"%3\"  %4 channel%5  %6 Hz\n")
                           .arg(description.isDefault ? QStringLiteral(" *") : QStringLiteral("  "),
                                device.uid, device.displayName())
                           .arg(description.channelCount)
                           .arg(description.channelCount == 1 ? QString() : QStringLiteral("s"))
                           .arg(description.sampleRate);
    }
}

} // namespace

int runDevices(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (const auto exit = parseCommandOptions(args, {}, {}, kDevicesHelp, context, parsed)) {
        return *exit;
    }
    platform::AudioBackend& backend = context.audioBackend();
    platform::MemoryPreferencesStore preferences;
    services::AudioDeviceManager manager(backend, preferences);
    printList(context, "Inputs:", manager.inputDevices(), backend.inputDevices());
    printList(context, "Outputs:", manager.outputDevices(), backend.outputDevices());
    context.out.flush();
    return kExitOk;
}

std::optional<QString> readChannel(const ParsedArguments& parsed, std::optional<int>& channel) {
    if (!parsed.values.contains(QStringLiteral("channel"))) {
        return std::nullopt;
    }
    int value = 0;
    if (auto error = readInt(parsed, QStringLiteral("channel"), value)) {
        return error;
    }
    if (value < 0) {
        return QStringLiteral("--channel must be 0 or more");
    }
    channel = value;
    return std::nullopt;
}

std::optional<int> selectInput(const std::optional<QString>& uid, std::optional<int> channel,
                               services::AudioDeviceManager& devices, CommandContext& context) {
    if (uid) {
        if (!devices.hasInputDevice(*uid)) {
            printError(
                context,
                QStringLiteral("no input device has the UID \"%1\" (see kavro-cli devices)").arg(*uid));
            return kExitFailure;
        }
        devices.selectDevice(*uid);
    }
    if (channel) {
        const qsizetype count = devices.availableInputChannels().size();
        if (*channel >= count) {
            const QString& input = devices.selectedDeviceUID();
            printError(context, QStringLiteral("%1 has no channel %2 (it has %3, numbered from 0)")
                                    .arg(input.isEmpty() ? QStringLiteral("the default input") : input)
                                    .arg(*channel)
                                    .arg(count));
            return kExitFailure;
        }
        devices.setSelectedChannelIndex(*channel);
    }
    return std::nullopt;
}

} // namespace kavro::cli
