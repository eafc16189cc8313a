// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program against real tray hosts: each test runs `kavro` on a desktop of
// its own (a private D-Bus session bus and X server) with the hosts Debian ships, a
// StatusNotifierWatcher with this test as its host and trayer for XEmbed, and reads
// back what the desktop sees.
#include "platform/qt/SettingsPreferencesStore.h"
#include "support/PrivateDesktop.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace kavro {
namespace {

using testing::PrivateDesktop;
using testing::waitUntil;

const QString kProgram = QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro");
const QString kApplicationId = QStringLiteral(KAVRO_APPLICATION_ID);
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
// Qt's double-click interval is 400 ms unless the desktop sets another.
constexpr int kLongerThanADoubleClickMs = 600;

// The labels of a com.canonical.dbusmenu layout, depth first; separators have none.
void collectLabels(const QDBusArgument& item, QStringList& labels) {
    int id = 0;
    QVariantMap properties;
    item.beginStructure();
    item >> id >> properties;
    if (properties.contains(QStringLiteral("label"))) {
        labels << properties.value(QStringLiteral("label")).toString();
    }
    item.beginArray();
    while (!item.atEnd()) {
        QDBusVariant child;
        item >> child;
        collectLabels(child.variant().value<QDBusArgument>(), labels);
    }
    item.endArray();
    item.endStructure();
}

class DesktopShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing = PrivateDesktop::missingTools(
            {QStringLiteral("status-notifier-watcher"), QStringLiteral("trayer")});
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        if (!QFile::exists(kProgram)) {
            GTEST_SKIP() << "kavro is not built";
        }
        ASSERT_TRUE(m_desktop.start());
        // Workstations that other tests start must not start sessions here.
        platform::SettingsPreferencesStore preferences(m_desktop.configHome() +
                                                       QStringLiteral("/Kavro/Kavro.conf"));
        preferences.setBool(QStringLiteral("autoStartSessions"), false);
    }

    QProcess& startKavro(const QStringList& arguments = {}) {
        QProcess& kavro = m_desktop.launch(kProgram, arguments, m_desktop.environment());
        m_started.start();
        return kavro;
    }
    // Runs a second start to its end; its exit code, and its output in `output`.
    int runKavro(const QStringList& arguments, QString& output) {
        QProcess second;
        second.setProcessEnvironment(m_desktop.environment());
        second.start(kProgram, arguments);
        if (!second.waitForFinished(15000)) {
            second.kill();
            second.waitForFinished();
            return -1;
        }
        output = QString::fromUtf8(second.readAllStandardOutput() + second.readAllStandardError());
        return second.exitCode();
    }
    // What the programs on the desktop said, for failure messages.
    std::string desktopReport() const { return m_desktop.report(); }

    bool panelShows() const { return !m_desktop.visibleWindows(QStringLiteral("Kavro")).isEmpty(); }

    // The tray item's bus name, once it is registered with the watcher.
    QString waitForItem(int milliseconds = PrivateDesktop::kStartTimeoutMs) {
        QString item;
        waitUntil(
            [&] {
                const QStringList items = m_desktop.registeredItems();
                item = items.isEmpty() ? QString() : items.front().section(u'/', 0, 0);
                return !item.isEmpty();
            },
            milliseconds);
        return item;
    }

    QStringList menuLabels(const QString& item) {
        QDBusMessage get = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << kItemInterface << QStringLiteral("Menu");
        const QDBusMessage menu = m_desktop.bus().call(get);
        if (menu.type() != QDBusMessage::ReplyMessage) {
            return {};
        }
        const QString path =
            qdbus_cast<QDBusObjectPath>(menu.arguments().front().value<QDBusVariant>().variant()).path();
        QDBusMessage layout = QDBusMessage::createMethodCall(
            item, path, QStringLiteral("com.canonical.dbusmenu"), QStringLiteral("GetLayout"));
        layout << 0 << -1 << QStringList{QStringLiteral("label")};
        const QDBusMessage reply = m_desktop.bus().call(layout);
        QStringList labels;
        if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 2) {
            collectLabels(reply.arguments().at(1).value<QDBusArgument>(), labels);
        }
        return labels;
    }

    bool activate(const QString& item) {
        QDBusMessage call = QDBusMessage::createMethodCall(item, QStringLiteral("/StatusNotifierItem"),
                                                           kItemInterface, QStringLiteral("Activate"));
        call << 0 << 0;
        return m_desktop.bus().call(call).type() == QDBusMessage::ReplyMessage;
    }

    PrivateDesktop m_desktop;
    QElapsedTimer m_started;
};

TEST_F(DesktopShellTest, TheTrayItemOffersEveryCommandAndActivateTogglesThePanel) {
    ASSERT_TRUE(m_desktop.startWatcher()) << desktopReport();
    ASSERT_TRUE(m_desktop.registerHost());
    startKavro();
    const QString item = waitForItem();
    ASSERT_FALSE(item.isEmpty()) << "the item never registered; " << desktopReport();
    std::printf("[ figure ] tray item registered %lld ms after start\n",
                static_cast<long long>(m_started.elapsed()));
    EXPECT_FALSE(panelShows()) << "with a tray, the panel waits for a click";

    EXPECT_EQ(menuLabels(item),
              (QStringList{QStringLiteral("Show Panel"), QStringLiteral("Start Session"),
                           QStringLiteral("History…"), QStringLiteral("Settings…"), QStringLiteral("Quit")}));

    ASSERT_TRUE(activate(item));
    ASSERT_TRUE(waitUntil([&] { return panelShows(); }, 5000));
    // A host that sends a click for each half of a double click: it counts once.
    ASSERT_TRUE(activate(item));
    QTest::qWait(300);
    EXPECT_TRUE(panelShows());
    QTest::qWait(kLongerThanADoubleClickMs);
    ASSERT_TRUE(activate(item));
    EXPECT_TRUE(waitUntil([&] { return !panelShows(); }, 5000)) << "a second click closes it";

    // One program per user: a second start shows the first one's panel and ends.
    QString output;
    EXPECT_EQ(runKavro({}, output), 0) << output.toStdString();
    EXPECT_TRUE(waitUntil([&] { return panelShows(); }, 5000));
    EXPECT_EQ(m_desktop.registeredItems().size(), 1);
}

TEST_F(DesktopShellTest, AHostThatRegistersLaterStillGetsTheIcon) {
    // At login the program may start before the desktop's panel.
    ASSERT_TRUE(m_desktop.startWatcher()) << desktopReport();
    startKavro();
    ASSERT_TRUE(waitUntil([&] { return panelShows(); }, PrivateDesktop::kStartTimeoutMs))
        << "without a tray the panel is a window; " << desktopReport();
    EXPECT_TRUE(m_desktop.registeredItems().isEmpty());

    QTest::qWait(3000);
    ASSERT_TRUE(m_desktop.registerHost());
    EXPECT_FALSE(waitForItem(5000).isEmpty());
    EXPECT_TRUE(waitUntil([&] { return !panelShows(); }, 5000)) << "the tray takes over";
}

TEST_F(DesktopShellTest, AnXEmbedTrayEmbedsTheIcon) {
    ASSERT_TRUE(m_desktop.startXEmbedTray()) << desktopReport();
    startKavro();
    // The icon is a small window of Kavro's own inside the tray, and the panel waits for
    // a click. (Should the tray take its selection a moment after its window appears,
    // Kavro finds it on its next look, within a second.)
    const auto iconOnly = [&] {
        const QStringList shown = m_desktop.windows(
            {QStringLiteral("--onlyvisible"), QStringLiteral("--classname"), QStringLiteral("kavro")});
        return shown.size() == 1 && !panelShows();
    };
    EXPECT_TRUE(waitUntil(iconOnly, PrivateDesktop::kStartTimeoutMs)) << desktopReport();
}

TEST_F(DesktopShellTest, TheTrayProgramAndHeadlessRefuseToWriteTheSameHistory) {
    ASSERT_TRUE(m_desktop.startWatcher()) << desktopReport();
    ASSERT_TRUE(m_desktop.registerHost());
    QProcess& tray = startKavro();
    // The program owns its name only once it holds the history.
    ASSERT_TRUE(
        waitUntil([&] { return m_desktop.isRegistered(kApplicationId); }, PrivateDesktop::kStartTimeoutMs));
    QString output;
    EXPECT_EQ(runKavro({QStringLiteral("--headless")}, output), 1);
    EXPECT_TRUE(output.contains(QStringLiteral("already running (process %1)").arg(tray.processId())))
        << output.toStdString();

    PrivateDesktop::stop(tray);
    QProcess& headless = startKavro({QStringLiteral("--headless")});
    QByteArray headlessOutput;
    ASSERT_TRUE(waitUntil(
        [&] {
            headless.waitForReadyRead(50);
            headlessOutput += headless.readAllStandardOutput();
            return headlessOutput.contains("Kavro started");
        },
        PrivateDesktop::kStartTimeoutMs));
    EXPECT_EQ(runKavro({}, output), 1) << "without windows nothing can be shown: it says who runs";
    EXPECT_TRUE(output.contains(QStringLiteral("already running (process %1)").arg(headless.processId())))
        << output.toStdString();
}

} // namespace
} // namespace kavro
