// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the real-audio tests share: the private PulseAudio server of
// scripts/with-test-servers, null sinks with capturable sources on their monitors
// that each test loads under names of its own (tests run side by side on one
// server), and signals played into them.
#include "platform/qt/QtAudioBackend.h"
#include "support/WaitUntil.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace kavro::testing {

inline QString pactl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("pactl"), args);
    process.waitForFinished(10000);
    EXPECT_EQ(process.exitCode(), 0) << "pactl " << args.join(' ').toStdString() << ": "
                                     << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A sine per channel, rendered on the playback thread.
struct Tone {
    double frequency = 1000;
    double leftAmplitude = 0.5;
    double rightAmplitude = 0.5;
};

class PulseAudioFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("KAVRO_TEST_PULSEAUDIO")) {
            GTEST_SKIP() << "needs the PulseAudio server of scripts/with-test-servers";
        }
        m_suffix = QStringLiteral("%1_%2").arg(QCoreApplication::applicationPid()).arg(m_nextSuffix++);
        backend = std::make_unique<platform::QtAudioBackend>();
        backend->waitForDeviceLists(std::chrono::seconds(3));
    }

    void TearDown() override {
        m_players.clear();
        for (auto it = m_modules.rbegin(); it != m_modules.rend(); ++it) {
            pactl({"unload-module", *it});
        }
        backend.reset();
    }
    struct Loopback {
        QString sink;
        QString source;
        QString sourceModule;
    };

    // Loads a module for this test; it is unloaded when the test ends.
    QString loadModule(const QStringList& args) {
        const QString module = pactl(QStringList{"load-module"} + args);
        m_modules.append(module);
        return module;
    }

    // Waits until the audio layer can find the sink and the source.
    void waitForDevices(const QString& sink, const QString& source) {
        EXPECT_TRUE(waitUntil(
            [&] {
                return !platform::QtAudioBackend::findDevice(QAudioDevice::Output, sink).isNull() &&
                       !platform::QtAudioBackend::findDevice(QAudioDevice::Input, source).isNull();
            },
            3000));
    }

    // A null sink and a capturable source on its monitor.
    Loopback loadLoopback(const QString& name, int rate, int channels = 2) {
        Loopback loopback;
        loopback.sink = QStringLiteral("kt_%1_%2").arg(name, m_suffix);
        loopback.source = QStringLiteral("kt_%1_mic_%2").arg(name, m_suffix);
        loadModule({"module-null-sink", "sink_name=" + loopback.sink, QStringLiteral("rate=%1").arg(rate),
                    QStringLiteral("channels=%1").arg(channels),
                    "sink_properties=device.description=Kavro_" + name + "_out"});
        loopback.sourceModule =
            loadModule({"module-remap-source", "master=" + loopback.sink + ".monitor",
                        "source_name=" + loopback.source, QStringLiteral("rate=%1").arg(rate),
                        "source_properties=device.description=Kavro_" + name + "_mic"});
        waitForDevices(loopback.sink, loopback.source);
        return loopback;
    }

    // A name for a device of this test's own.
    QString deviceName(const QString& name) const { return QStringLiteral("kt_%1_%2").arg(name, m_suffix); }

    void unloadModule(const QString& module) {
        pactl({"unload-module", module});
        m_modules.removeAll(module);
    }

    void play(const QString& sink, int rate, Tone tone) {
        std::uint64_t frame = 0;
        auto render = [tone, rate, frame](std::span<float> interleaved, int channels) mutable {
            for (std::size_t i = 0; i + 1 < interleaved.size(); i += static_cast<std::size_t>(channels)) {
                const double s = std::sin(2 * std::numbers::pi * tone.frequency * double(frame++) / rate);
                interleaved[i] = static_cast<float>(tone.leftAmplitude * s);
                interleaved[i + 1] = static_cast<float>(tone.rightAmplitude * s);
            }
        };
        auto stream = backend->openPlayback(sink, {double(rate), 2}, render);
        ASSERT_FALSE(stream->start().has_value());
        m_players.push_back(std::move(stream));
    }

    void stopPlaying() { m_players.clear(); }

    std::unique_ptr<platform::QtAudioBackend> backend;

private:
    static inline int m_nextSuffix = 0;
    QString m_suffix;
    QStringList m_modules;
    std::vector<std::unique_ptr<platform::PlaybackStream>> m_players;
};

} // namespace kavro::testing
