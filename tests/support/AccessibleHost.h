#pragma once

// A host program run on the test display with Qt's AT-SPI bridge on, and what a screen
// reader finds in it: Debian's pyatspi reads its widgets from the accessibility bus and
// presses its buttons (tests/integration/accessible_tree.py).
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

    // `program` is a host in the build's tests folder; its application name is the same.
    explicit AccessibleHost(QString program)
        : m_name(std::move(program)), m_path(QStringLiteral(KAVRO_BINARY_DIR "/tests/") + m_name) {}

    ~AccessibleHost() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    // Why the test cannot run on this machine; empty when it can.
    QString missing() const {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            return QStringLiteral("no X display");
        }
        if (!QDBusConnection::sessionBus().isConnected() ||
            !QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus"))) {
            return QStringLiteral("no accessibility bus (scripts/with-test-servers starts one)");
        }
        if (!QFile::exists(kPython) || !QFile::exists(m_path)) {
            return QStringLiteral("no /usr/bin/python3 or ") + m_name;
        }
        return {};
    }

    // Starts the host and waits until it says "ready"; the error, if it did not.
    QString start(const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(m_path, arguments);
        if (!m_process.waitForStarted(5000)) {
            return m_name + QStringLiteral(" did not start");
        }
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) {
                return m_name + QStringLiteral(" did not get ready");
            }
        }
        const QByteArray line = m_process.readLine().trimmed();
        return line == "ready" ? QString() : m_name + QStringLiteral(" said ") + QString::fromUtf8(line);
    }

    // Runs the reader with the commands; the objects it printed. `error` gets what went wrong.
    std::vector<AccessibleObject> read(const QStringList& commands, QString* error = nullptr) const {
        QProcess reader;
        // By process: the test runner may run two copies of a host at once.
        reader.start(kPython,
                     QStringList{kReader, QStringLiteral("pid:%1").arg(m_process.processId())} + commands);
        const bool finished = reader.waitForFinished(30000);
        if (error && (!finished || reader.exitCode() != 0)) {
            *error = QString::fromUtf8(reader.readAllStandardError());
        }
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

    // The first showing object with exactly this name.
    static const AccessibleObject* find(const std::vector<AccessibleObject>& objects, const QString& name) {
        const auto found = std::find_if(objects.begin(), objects.end(), [&](const AccessibleObject& object) {
            return object.showing && object.name == name;
        });
        return found == objects.end() ? nullptr : &*found;
    }

    // The showing objects whose names match the pattern.
    static std::vector<AccessibleObject> matching(const std::vector<AccessibleObject>& objects,
                                                  const QString& pattern) {
        const QRegularExpression expression(pattern);
        std::vector<AccessibleObject> found;
        std::copy_if(objects.begin(), objects.end(), std::back_inserter(found),
                     [&](const AccessibleObject& object) {
                         return object.showing && expression.match(object.name).hasMatch();
                     });
        return found;
    }

private:
    QString m_name;
    QString m_path;
    QProcess m_process;
};

// A test of what a screen reader finds in a host program started with `arguments`;
// skipped where the display or the accessibility bus is missing.
class AccessibleHostTest : public ::testing::Test {
protected:
    AccessibleHostTest(const QString& program, QStringList arguments)
        : m_host(program), m_arguments(std::move(arguments)) {}

    void SetUp() override {
        if (const QString missing = m_host.missing(); !missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        const QString error = m_host.start(m_arguments);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // What the reader printed after running the commands; a failing reader fails the test.
    std::vector<AccessibleObject> read(const QStringList& commands) {
        QString error;
        auto objects = m_host.read(commands, &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return objects;
    }

    AccessibleHost m_host;
    QStringList m_arguments;
};

} // namespace kavro::testing
