// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-settings-host: the settings window's content in a window of its own (500×480),
// over the application state with scripted audio devices, a scripted workspace and
// memory preferences, or with --pulse over the real audio layer. scripts/screenshots
// grabs it to PNGs; a developer looks at it in any state the options below set up, or
// times it.
#include "core/AppState.h"
#include "dsp/CorrectionDesign.h"
#include "dsp/RealFft.h"
#include "hosts/DarkPalette.h"
#include "models/CalibrationSavedProfile.h"
#include "models/MicCorrectionProfile.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SystemClock.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/CalibrationProfileStore.h"
#include "services/DAWDetectionService.h"
#include "services/MicFrequencyCorrection.h"
#include "support/TestSignals.h"
#include "ui/settings/AudioTab.h"
#include "ui/settings/AudioTabPresenter.h"
#include "ui/settings/SafetyTab.h"
#include "ui/settings/SettingsWindowContent.h"
#include "ui/settings/WeightingCurvesView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

using namespace kavro;

constexpr double kSampleRate = 48000.0;
constexpr int kFrames = services::AudioMeasurementService::kFramesPerBuffer;

platform::AudioDeviceDescription device(const char* uid, const char* name, const char* manufacturer,
                                        int channels) {
    platform::AudioDeviceDescription description;
    description.uid = QLatin1String(uid);
    description.name = QLatin1String(name);
    description.manufacturer = QLatin1String(manufacturer);
    description.channelCount = channels;
    description.sampleRate = kSampleRate;
    return description;
}

// A correction as a measurement of a typical small desk microphone would give it: thin
// in the bass, a presence lift and an early top-end roll-off.
models::MicCorrectionProfile sampleCorrection(const QDateTime& measured) {
    const std::vector<dsp::correction::DeviationPoint> deviation{{60, -6},  {120, -3.5}, {300, -1},
                                                                 {1000, 0}, {3000, 2},   {5500, 4.5},
                                                                 {8000, 2}, {12000, -3}, {16000, -8}};
    const dsp::RealFft fft(dsp::correction::kFftSize);
    const auto design = dsp::correction::designFromDeviation(deviation, kSampleRate, fft);
    return models::MicCorrectionProfile::fromDesign(*design, kSampleRate, measured);
}

class Host {
public:
    explicit Host(bool pulse) {
        if (pulse) {
            auto backend = std::make_unique<platform::QtAudioBackend>();
            backend->waitForDeviceLists(std::chrono::seconds(3));
            m_backend = std::move(backend);
        } else {
            auto backend = std::make_unique<platform::testing::ScriptedAudioBackend>();
            backend->inputs = {device("studio", "Studio microphone", "Kavro Audio", 2),
                               device("usb-mic", "USB measurement mic", "", 1)};
            backend->outputs = {device("monitors", "Studio monitors", "Kavro Audio", 2),
                                device("headphones", "Headphones", "", 2)};
            m_scripted = backend.get();
            m_backend = std::move(backend);
        }
        m_state = std::make_unique<core::AppState>(
            core::AppState::Platform{*m_backend, m_preferences, m_clock, m_notifications, m_workspace,
                                     m_loginItem, m_files, QStringLiteral("/home/ada/.local/share/Kavro")});
    }

    core::AppState& state() { return *m_state; }
    const platform::Clock& clock() const { return m_clock; }

    // Plays a 1 kHz tone into the scripted microphone, as many buffers as asked.
    void play(int buffers, double amplitude = 0.05) {
        if (m_scripted && m_scripted->stream()) {
            std::vector<std::vector<float>> queued(
                static_cast<std::size_t>(buffers),
                testing::sineBuffer(1000.0, amplitude, kSampleRate, kFrames));
            m_scripted->stream()->deliver(std::move(queued));
        }
    }

    // Keeps the scripted microphone delivering, as a real one would (about 47 buffers
    // a second), so the live reading moves.
    void keepPlaying() {
        if (!m_scripted) {
            return;
        }
        QObject::connect(&m_timer, &QTimer::timeout, [this] { play(2); });
        m_timer.start(42);
    }

private:
    std::unique_ptr<platform::AudioBackend> m_backend;
    platform::testing::ScriptedAudioBackend* m_scripted = nullptr;
    platform::MemoryPreferencesStore m_preferences;
    platform::SystemClock m_clock;
    platform::testing::RecordingNotificationCenter m_notifications;
    platform::testing::ScriptedWorkspace m_workspace;
    platform::testing::FakeLoginItemService m_loginItem;
    platform::testing::MemoryFileStore m_files;
    std::unique_ptr<core::AppState> m_state;
    QTimer m_timer;
};

// Reports the time from the request to open the window to its first paint.
class FirstPaintTimer : public QObject {
public:
    explicit FirstPaintTimer(QElapsedTimer started) : m_started(started) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            std::printf("first paint after %.1f ms\n", double(m_started.nsecsElapsed()) / 1e6);
            std::fflush(stdout);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_started;
    bool m_reported = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavro-settings-host"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Kavro settings window over scripted parts, for tests and review."));
    parser.addHelpOption();
    const QCommandLineOption dark(QStringLiteral("dark"), QStringLiteral("Use a dark palette."));
    const QCommandLineOption tab(QStringLiteral("tab"),
                                 QStringLiteral("Open this tab: audio, safety, daws, general."),
                                 QStringLiteral("name"), QStringLiteral("audio"));
    const QCommandLineOption correction(QStringLiteral("correction"),
                                        QStringLiteral("Store a measured microphone correction first."));
    const QCommandLineOption measuring(QStringLiteral("measuring"),
                                       QStringLiteral("Run a response measurement to about half way."));
    const QCommandLineOption profiles(QStringLiteral("profiles"),
                                      QStringLiteral("Save two calibration profiles."));
    const QCommandLineOption custom(QStringLiteral("custom-daw"),
                                    QStringLiteral("Add a workstation of the user's through the form."));
    const QCommandLineOption outputProfile(
        QStringLiteral("output-profile"),
        QStringLiteral("Measure from the output, and set its profile from data sheets through the form."));
    const QCommandLineOption session(
        QStringLiteral("session"),
        QStringLiteral("Run a session with a steady tone (the live reading moves)."));
    const QCommandLineOption pink(QStringLiteral("pink"),
                                  QStringLiteral("Play pink noise, as its button does."));
    const QCommandLineOption weighting(QStringLiteral("weighting"),
                                       QStringLiteral("Scroll the Safety tab to the weighting curves."));
    const QCommandLineOption pulse(QStringLiteral("pulse"),
                                   QStringLiteral("Use the real audio devices instead of scripted ones."));
    const QCommandLineOption timing(
        QStringLiteral("timing"),
        QStringLiteral("Print the time from opening the window to its first paint."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Write the window to this PNG and quit."),
                                        QStringLiteral("file"));
    const QCommandLineOption scrollTo(QStringLiteral("scroll-to"),
                                      QStringLiteral("Scroll the tab to the widget with this object name."),
                                      QStringLiteral("name"));
    const QCommandLineOption page(
        QStringLiteral("page"),
        QStringLiteral("Write the whole page of the tab, unscrolled, to this PNG and quit."),
        QStringLiteral("file"));
    parser.addOptions({dark, tab, correction, measuring, profiles, custom, outputProfile, session, pink,
                       weighting, pulse, timing, screenshot, page, scrollTo});
    parser.process(application);

    if (parser.isSet(dark)) {
        QApplication::setPalette(testing::darkPalette());
    }

    Host host(parser.isSet(pulse));
    core::AppState& state = host.state();
    if (!parser.isSet(pulse)) {
        // A microphone with two channels, so the channel picker shows.
        state.setSelectedDeviceUID(QStringLiteral("studio"));
    }
    state.setMicLocationNote(QStringLiteral("Small condenser on the desk stand, 40 cm below ear height"));
    if (parser.isSet(correction)) {
        state.micFreqCorrection().save(sampleCorrection(host.clock().now().addDays(-2)));
        state.micFreqCorrection().setIsEnabled(true);
    }
    if (parser.isSet(profiles)) {
        auto& store = state.calibrationProfileStore();
        store.add(models::CalibrationSavedProfile::create(
            QStringLiteral("USB mic, old desk"), QStringLiteral("usb-mic"),
            state.deviceManager().inputDevices(), 96.5, host.clock().now().addDays(-20), std::nullopt));
        store.add(models::CalibrationSavedProfile::create(
            QStringLiteral("Studio mic at the desk"), QStringLiteral("studio"),
            state.deviceManager().inputDevices(), 101.0, host.clock().now().addDays(-1),
            state.micFreqCorrection().profile()));
    }
    if (parser.isSet(session)) {
        state.startSession(QStringLiteral("REAPER"));
        host.keepPlaying();
    }

    QElapsedTimer opened;
    opened.start();
    FirstPaintTimer paintTimer(opened);
    ui::SettingsWindowContent content(state);
    content.setWindowTitle(QStringLiteral("Kavro Settings"));
    content.resize(ui::SettingsWindowContent::kWidth, ui::SettingsWindowContent::kHeight);
    if (parser.isSet(timing)) {
        std::printf("content built after %.1f ms\n", double(opened.nsecsElapsed()) / 1e6);
        content.installEventFilter(&paintTimer);
    }
    const QString tabName = parser.value(tab);
    const auto tabIndex = QStringList{"audio", "safety", "daws", "general"}.indexOf(tabName);
    content.showTab(static_cast<ui::SettingsWindowContent::Tab>(std::max<qsizetype>(tabIndex, 0)));
    content.show();

    if (parser.isSet(custom)) {
        // Through the form, as a user adds one: the new row shows where it landed.
        QTimer::singleShot(50, [&content] {
            content.findChild<QLineEdit*>(QStringLiteral("applicationIdField"))
                ->setText(QStringLiteral("ardour-nightly"));
            content.findChild<QLineEdit*>(QStringLiteral("nameField"))
                ->setText(QStringLiteral("Ardour Nightly"));
            content.findChild<QAbstractButton*>(QStringLiteral("addButton"))->click();
        });
    }
    if (parser.isSet(outputProfile)) {
        state.setMeasureFrom(models::MeasureFrom::output);
        QTimer::singleShot(50, [&content] {
            const auto field = [&content](const char* name) {
                return content.findChild<QLineEdit*>(QLatin1String(name));
            };
            field("sensitivityField")->setText(QStringLiteral("102"));
            field("impedanceField")->setText(QStringLiteral("32"));
            field("maximumOutputField")->setText(QStringLiteral("4"));
            content.findChild<QAbstractButton*>(QStringLiteral("applyDataSheetButton"))->click();
        });
    }
    if (parser.isSet(pink)) {
        content.audioTab()->presenter().togglePinkNoise();
        host.keepPlaying();
    }
    if (parser.isSet(measuring)) {
        content.audioTab()->presenter().measureResponse();
        // After the second of settling, half of the frames the measurement needs.
        QTimer::singleShot(1300, [&host] { host.play(90, 0.2); });
    }
    int settleMs = parser.isSet(measuring) ? 1800 : 500;
    if (parser.isSet(weighting)) {
        content.showTab(ui::SettingsWindowContent::Tab::safety);
        // To the section with the picture, its heading included.
        QTimer::singleShot(100, [&content] {
            QWidget* section = content.safetyTab()->weightingCurves();
            while (section && !section->inherits("kavro::ui::FormSection")) {
                section = section->parentWidget();
            }
            content.scrollTo(section);
        });
    }
    if (parser.isSet(scrollTo)) {
        const QString name = parser.value(scrollTo);
        // Once the measurement's rows have taken their places.
        QTimer::singleShot(settleMs - 150, [&content, name] {
            if (auto* target = content.tabs()->currentWidget()->findChild<QWidget*>(name)) {
                content.scrollTo(target);
            }
        });
    }

    if (parser.isSet(screenshot) || parser.isSet(page)) {
        const QString file = parser.value(parser.isSet(page) ? page : screenshot);
        const bool wholePage = parser.isSet(page);
        QTimer::singleShot(settleMs, [&content, file, wholePage] {
            QWidget* shown = &content;
            if (wholePage) {
                auto* area = qobject_cast<QScrollArea*>(content.tabs()->currentWidget());
                shown = area->widget();
            }
            const bool saved = shown->grab().save(file);
            QCoreApplication::exit(saved ? 0 : 1);
        });
        return application.exec();
    }
    std::puts("ready");
    std::fflush(stdout);
    return application.exec();
}
