#pragma once

// A program of ours read as a screen reader meets it: the program runs on the test
// display with Qt's AT-SPI bridge on, and Debian's pyatspi (tests/integration/
// accessible_tree.py) reads its widgets from the accessibility bus and presses its
// buttons. Used by the screen-reader tests of the panel and the settings window.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kavro::testing {

struct AccessibleObject {
    QString name;
    QString role;
    QString description;
    bool showing = false;
    bool enabled = false;
};

class AccessibleHost {
public:
    static inline const QString kPython = QStringLiteral("/usr/bin/python3");
    static inline const QString kReader =
        QStringLiteral(KAVRO_SOURCE_DIR "/tests/integration/accessible_tree.py");

    // program: the host's path; its application name is its file name.
    explicit AccessibleHost(QString program)
        : m_program(std::move(program)), m_applicationName(m_program.section(QLatin1Char('/'), -1)) {}

    ~AccessibleHost() { stop(); }

    // What this machine lacks to run the test, or nothing.
    QString missingRequirements() const {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            return QStringLiteral("no X display");
        }
        if (!QDBusConnection::sessionBus().isConnected() ||
            !QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus"))) {
            return QStringLiteral("no accessibility bus (scripts/with-test-servers starts one)");
        }
        if (!QFile::exists(kPython) || !QFile::exists(m_program)) {
            return QStringLiteral("no /usr/bin/python3 or ") + m_applicationName;
        }
        return {};
    }

    // Starts the host and waits until it prints "ready" (its window is on screen).
    void start(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(m_program, arguments);
        ASSERT_TRUE(m_process.waitForStarted(5000));
        while (!m_process.canReadLine()) {
            ASSERT_TRUE(m_process.waitForReadyRead(10000))
                << m_applicationName.toStdString() << " did not start";
        }
        ASSERT_EQ(m_process.readLine().trimmed(), QByteArray("ready"));
    }

    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    // Runs the reader with the commands; the objects it printed.
    std::vector<AccessibleObject> read(const QStringList& commands) const {
        QProcess reader;
        reader.start(kPython, QStringList{kReader, m_applicationName} + commands);
        EXPECT_TRUE(reader.waitForFinished(30000));
        EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
        std::vector<AccessibleObject> objects;
        for (const QByteArray& line : reader.readAllStandardOutput().split('\n')) {
            const QJsonObject json = QJsonDocument::fromJson(line).object();
            if (json.isEmpty()) {
                continue;
            }
            objects.push_back(
                {json[QStringLiteral("name")].toString(), json[QStringLiteral("role")].toString(),
                 json[QStringLiteral("description")].toString(), json[QStringLiteral("showing")].toBool(),
                 json[QStringLiteral("enabled")].toBool()});
        }
        return objects;
    }

    static const AccessibleObject* find(const std::vector<AccessibleObject>& objects, const QString& name) {
        for (const auto& object : objects) {
            if (object.showing && object.name == name) {
                return &object;
            }
        }
        return nullptr;
    }

    static bool anyMatches(const std::vector<AccessibleObject>& objects, const QString& pattern) {
        const QRegularExpression expression(pattern);
        return std::any_of(objects.begin(), objects.end(), [&](const AccessibleObject& object) {
            return object.showing && expression.match(object.name).hasMatch();
        });
    }

private:
    QString m_program;
    QString m_applicationName;
    QProcess m_process;
};

} // namespace kavro::testing
