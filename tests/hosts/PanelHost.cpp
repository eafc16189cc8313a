// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-panel-host: the panel in a window of its own, over the application state with
// a scripted microphone, a scripted workspace and a clock that moves only when this
// program moves it. A developer looks at it, or grabs it to a PNG, in any state the
// options below set up.
#include "core/AppState.h"
#include "hosts/DarkPalette.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/linux/NoUpdater.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/AudioMeasurementService.h"
#include "services/DoseCalculator.h"
#include "support/TestSignals.h"
#include "ui/panel/PanelWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>

namespace {

using namespace kavro;

constexpr double kSampleRate = 48000.0;
constexpr int kFrames = services::AudioMeasurementService::kFramesPerBuffer;
// With this calibration a sine of amplitude 0.01 reads about 94 dBA.
constexpr double kCalibrationOffset = 137.0;
constexpr double kQuietAmplitude = 0.01;

class Host {
public:
    Host() {
        m_backend.inputs = {input()};
        platform::Settings(m_preferences).setValue(platform::keys::calibrationOffset, kCalibrationOffset);
        m_state = std::make_unique<core::AppState>(
            core::AppState::Platform{m_backend, m_preferences, m_clock, m_notifications, m_workspace,
                                     m_loginItem, m_files, QStringLiteral("/home/ada/.local/share/Kavro")});
    }

    core::AppState& state() { return *m_state; }

    void play(double frequency, double amplitude, int buffers = 40) {
        m_playing = testing::sineBuffer(frequency, amplitude, kSampleRate, kFrames);
        if (auto* stream = m_backend.stream()) {
            stream->deliver(std::vector<std::vector<float>>(static_cast<std::size_t>(buffers), m_playing));
        }
        QCoreApplication::sendPostedEvents();
    }

    // Runs the 0.1 s feed for `seconds` of listening, as fast as it can.
    void listen(double seconds) {
        const int ticks = static_cast<int>(seconds * 10.0);
        for (int i = 0; i < ticks; ++i) {
            // What was played goes on sounding, so the statistics fill as they would.
            if (auto* stream = m_backend.stream(); stream && !m_playing.empty()) {
                stream->deliver({m_playing});
                QCoreApplication::sendPostedEvents();
            }
            m_clock.advance(0.1);
            m_state->splFeedTick();
        }
        QCoreApplication::sendPostedEvents();
    }

    // Keeps the feed running in real time, with the clock following it.
    void keepListening(double frequency, double amplitude) {
        m_signal = {frequency, amplitude};
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            play(m_signal.first, m_signal.second, 4);
            listen(0.1);
        });
        m_timer.start(100);
    }

private:
    static platform::AudioDeviceDescription input() {
        platform::AudioDeviceDescription description;
        description.uid = QStringLiteral("studio");
        description.name = QStringLiteral("Studio microphone");
        description.channelCount = 1;
        description.sampleRate = static_cast<int>(kSampleRate);
        return description;
    }

    platform::testing::MemoryFileStore m_files;
    platform::testing::ScriptedAudioBackend m_backend;
    platform::MemoryPreferencesStore m_preferences;
    platform::testing::ManualClock m_clock{QDateTime::currentDateTimeUtc()};
    platform::testing::RecordingNotificationCenter m_notifications;
    platform::testing::ScriptedWorkspace m_workspace;
    platform::testing::FakeLoginItemService m_loginItem;
    std::unique_ptr<core::AppState> m_state;
    QTimer m_timer;
    std::pair<double, double> m_signal{1000.0, kQuietAmplitude};
    // The last buffer played, repeated while the host listens.
    std::vector<float> m_playing;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavro-panel-host"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Kavro panel over scripted parts, for tests and review."));
    parser.addHelpOption();
    const QCommandLineOption dark(QStringLiteral("dark"), QStringLiteral("Use a dark palette."));
    const QCommandLineOption dose(QStringLiteral("dose"), QStringLiteral("Start the day at this dose."),
                                  QStringLiteral("percent"));
    const QCommandLineOption measuring(QStringLiteral("measuring"),
                                       QStringLiteral("Run a session with a steady 1 kHz tone."));
    const QCommandLineOption lowFrequency(QStringLiteral("low-frequency"),
                                          QStringLiteral("Measure a 60 Hz tone (shows the LF badge)."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write the panel to this PNG and quit."),
                                        QStringLiteral("file"));
    parser.addOptions({dark, dose, measuring, lowFrequency, screenshot});
    parser.process(application);

    if (parser.isSet(dark)) {
        QApplication::setPalette(testing::darkPalette());
    }

    Host host;
    core::AppState& state = host.state();
    if (parser.isSet(dose)) {
        state.doseCalculator().overrideDose(parser.value(dose).toDouble());
    }
    const bool live = parser.isSet(measuring) || parser.isSet(lowFrequency);
    const double frequency = parser.isSet(lowFrequency) ? 60.0 : 1000.0;
    const double amplitude = parser.isSet(lowFrequency) ? 0.05 : kQuietAmplitude;
    if (live) {
        state.startSession(parser.isSet(lowFrequency) ? QStringLiteral("Bitwig Studio")
                                                      : QStringLiteral("Manual Session"));
        host.play(frequency, amplitude);
    }

    platform::NoUpdater updater;
    ui::PanelWidget panel(state, updater,
                          {[] { std::puts("open settings"); }, [] { std::puts("open history"); },
                           [] { QCoreApplication::quit(); }});
    panel.setWindowTitle(QStringLiteral("Kavro"));
    panel.show();
    QCoreApplication::sendPostedEvents();

    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        // After the dose bar's and the flash's animations have finished.
        QTimer::singleShot(700, [&panel, file] {
            const bool saved = panel.grab().save(file);
            QCoreApplication::exit(saved ? 0 : 1);
        });
        return application.exec();
    }
    if (live) {
        host.keepListening(frequency, amplitude);
    }
    std::puts("ready");
    std::fflush(stdout);
    return application.exec();
}
