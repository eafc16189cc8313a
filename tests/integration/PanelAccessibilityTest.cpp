// The panel as a screen reader meets it: the panel program runs on the test display
// with Qt's AT-SPI bridge on, and Debian's pyatspi reads its widgets from the
// accessibility bus and presses its buttons.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace kavro {
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kHost = QStringLiteral(KAVRO_BINARY_DIR "/tests/kavro-panel-host");
const QString kReader = QStringLiteral(KAVRO_SOURCE_DIR "/tests/integration/accessible_tree.py");
const QString kApplicationName = QStringLiteral("kavro-panel-host");

struct AccessibleObject {
    QString name;
    QString role;
    QString description;
    bool showing = false;
    bool enabled = false;
};

class PanelAccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString missing;
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            missing = QStringLiteral("no X display");
        } else if (!QDBusConnection::sessionBus().isConnected() ||
                   !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                       QStringLiteral("org.a11y.Bus"))) {
            missing = QStringLiteral("no accessibility bus (scripts/with-test-servers starts one)");
        } else if (!QFile::exists(kPython) || !QFile::exists(kHost)) {
            missing = QStringLiteral("no /usr/bin/python3 or panel host");
        }
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_host.setProcessEnvironment(environment);
        m_host.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_host.start(kHost, {QStringLiteral("--measuring"), QStringLiteral("--low-frequency"),
                             QStringLiteral("--dose"), QStringLiteral("42.5")});
        ASSERT_TRUE(m_host.waitForStarted(5000));
        // It prints "ready" once the panel is on screen.
        while (!m_host.canReadLine()) {
            ASSERT_TRUE(m_host.waitForReadyRead(10000)) << "the panel host did not start";
        }
        ASSERT_EQ(m_host.readLine().trimmed(), QByteArray("ready"));
    }

    void TearDown() override {
        if (m_host.state() != QProcess::NotRunning) {
            m_host.terminate();
            if (!m_host.waitForFinished(5000)) {
                m_host.kill();
                m_host.waitForFinished(2000);
            }
        }
    }

    // Runs the reader with the commands; the objects it printed.
    std::vector<AccessibleObject> read(const QStringList& commands) {
        QProcess reader;
        reader.start(kPython, QStringList{kReader, kApplicationName} + commands);
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

    QProcess m_host;
};

TEST_F(PanelAccessibilityTest, EveryValueAndControlIsNamed) {
    const auto objects = read({QStringLiteral("tree")});
    ASSERT_FALSE(objects.empty());
    for (const auto& object : objects) {
        if (object.showing &&
            (object.role == QLatin1String("label") || object.role == QLatin1String("push button"))) {
            EXPECT_FALSE(object.name.isEmpty()) << object.role.toStdString();
        }
    }
    // Values are read with their units, as they are drawn.
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^\\d+\\.\\d dBA$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^\\d+\\.\\d dBC$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^LF gap \\+\\d+ dB$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^4\\d\\.\\d%$")));
    // The band is words, not only a colour.
    EXPECT_TRUE(find(objects, QStringLiteral("Caution")));
    EXPECT_TRUE(find(objects, QStringLiteral("Hearing Dose")));
    for (const char* button : {"End Session", "Reset Dose", "Settings", "History", "Quit"}) {
        const AccessibleObject* found = find(objects, QLatin1String(button));
        ASSERT_TRUE(found) << button;
        EXPECT_TRUE(found->enabled) << button;
    }
    const AccessibleObject* updates = find(objects, QStringLiteral("Updates"));
    ASSERT_TRUE(updates);
    EXPECT_FALSE(updates->enabled);
    EXPECT_EQ(updates->description, QStringLiteral("Updates come from your package manager"));
}

TEST_F(PanelAccessibilityTest, AScreenReaderCanAskForTheResetAndCancelIt) {
    const auto asked = read({QStringLiteral("press"), QStringLiteral("Reset Dose"), QStringLiteral("wait"),
                             QStringLiteral("Reset dose to 0%?"), QStringLiteral("tree")});
    EXPECT_TRUE(find(asked, QStringLiteral("Cancel")));
    EXPECT_TRUE(find(asked, QStringLiteral("Reset")));
    EXPECT_FALSE(find(asked, QStringLiteral("Reset Dose")));

    const auto cancelled = read({QStringLiteral("press"), QStringLiteral("Cancel"), QStringLiteral("wait"),
                                 QStringLiteral("Reset Dose"), QStringLiteral("tree")});
    EXPECT_FALSE(find(cancelled, QStringLiteral("Reset dose to 0%?")));
    // The dose is untouched.
    EXPECT_TRUE(anyMatches(cancelled, QStringLiteral("^4\\d\\.\\d%$")));
}

} // namespace
} // namespace kavro
