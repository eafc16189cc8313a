// SPDX-License-Identifier: GPL-3.0-or-later
// `kavro --input-file` as a person without a microphone meets it: a 1 kHz tone at
// 85 dBA, played in real time in the microphone's place, reads 85.0 dBA on the panel
// (read over AT-SPI, as a screen reader does), while the user's own history and
// preferences stay exactly as they were.
#include "support/SoundFiles.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace kavro {
namespace {

const QString kProgram = QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro");
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kReader = QStringLiteral(KAVRO_SOURCE_DIR "/tests/integration/accessible_tree.py");

constexpr int kSampleRate = 48000;
// 85 dB with the default calibration offset of 94 dB: an RMS 9 dB below full scale,
// at 1 kHz where the A-weighting is 0 dB.
const double kToneAmplitude = std::sqrt(2.0) * std::pow(10.0, -9.0 / 20.0);

// Every file under a folder with its content and modification time.
std::map<QString, std::pair<QByteArray, QDateTime>> snapshot(const QString& folder) {
    std::map<QString, std::pair<QByteArray, QDateTime>> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files[path] = {file.readAll(), QFileInfo(path).lastModified()};
    }
    return files;
}

TEST(InputFileTest, AToneAt85DbaReads85OnThePanelAndTheUsersOwnFilesAreUntouched) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !QDBusConnection::sessionBus().isConnected() ||
        !QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")) ||
        !QFile::exists(kPython) || !QFile::exists(kProgram)) {
        GTEST_SKIP() << "needs the test display, the accessibility bus (scripts/with-test-servers) and kavro";
    }
    QTemporaryDir home;
    const QString tone = home.filePath(QStringLiteral("tone-85dBA.wav"));
    ASSERT_TRUE(testsupport::writeWav(tone, kSampleRate, 1, 2 * kSampleRate, [](long frame, int) {
        return static_cast<float>(kToneAmplitude *
                                  std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(frame) / kSampleRate));
    }));
    // The user's own dose, history and preferences.
    const QString data = home.filePath(QStringLiteral("data"));
    const QString config = home.filePath(QStringLiteral("config"));
    QDir().mkpath(data + QStringLiteral("/Kavro"));
    QDir().mkpath(config + QStringLiteral("/Kavro"));
    QFile history(data + QStringLiteral("/Kavro/sessions.json"));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    history.write("[]");
    history.close();
    QFile preferences(config + QStringLiteral("/Kavro/Kavro.conf"));
    ASSERT_TRUE(preferences.open(QIODevice::WriteOnly));
    preferences.write("[General]\nDoseCalculator.accumulatedDose=d:0.5\ncalibrationOffset=d:94\n");
    preferences.close();
    const auto before = snapshot(home.path());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess kavro;
    kavro.setProcessEnvironment(environment);
    kavro.start(kProgram, {QStringLiteral("--input-file"), tone, QStringLiteral("--loop")});
    ASSERT_TRUE(kavro.waitForStarted(5000));
    ASSERT_TRUE(kavro.waitForReadyRead(10000));
    const QString announced = QString::fromUtf8(kavro.readLine());
    EXPECT_TRUE(announced.startsWith(QStringLiteral("Playing ") + tone)) << announced.toStdString();
    QTest::qWait(2000);

    // The test display has no tray, so the panel is a window of its own and on screen.
    QProcess reader;
    reader.start(kPython, {kReader, QStringLiteral("kavro")});
    ASSERT_TRUE(reader.waitForFinished(30000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    const QRegularExpression level(QStringLiteral("^(\\d+\\.\\d) dBA$"));
    std::vector<double> levels;
    for (const QByteArray& line : reader.readAllStandardOutput().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const auto match = level.match(object[QStringLiteral("name")].toString());
        if (object[QStringLiteral("showing")].toBool() && match.hasMatch()) {
            levels.push_back(match.captured(1).toDouble());
        }
    }
    ASSERT_FALSE(levels.empty()) << "no level on the panel";
    for (const double shown : levels) {
        EXPECT_NEAR(shown, 85.0, 0.1);
    }

    kavro.terminate();
    ASSERT_TRUE(kavro.waitForFinished(10000));
    EXPECT_EQ(kavro.exitCode(), 0);
    EXPECT_EQ(snapshot(home.path()), before) << "the user's own files changed";
}

} // namespace
} // namespace kavro
