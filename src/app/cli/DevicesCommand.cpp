#include "cli/DevicesCommand.h"

#include "platform/MemoryPreferencesStore.h"
#include "platform/qt/QtAudioBackend.h"
#include "services/AudioDeviceManager.h"

namespace kavro::cli {

namespace {

const char* const kDevicesHelp =
    "Usage: kavro-cli devices\n"
    "\n"
    "Lists the audio input and output devices: UID (what --device takes), name,\n"
    "channels and sample rate. The system default is marked with *.\n";

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
    platform::QtAudioBackend backend;
    backend.waitForDeviceLists(std::chrono::seconds(2));
    platform::MemoryPreferencesStore preferences;
    services::AudioDeviceManager manager(backend, preferences);
    printList(context, "Inputs:", manager.inputDevices(), backend.inputDevices());
    printList(context, "Outputs:", manager.outputDevices(), backend.outputDevices());
    context.out.flush();
    return kExitOk;
}

} // namespace kavro::cli
