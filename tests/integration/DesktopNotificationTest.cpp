// Notifications shown by a real notification server (dunst on the session bus that
// scripts/with-test-servers starts), read back with dunstctl.
#include "core/AlertCenter.h"
#include "platform/linux/DBusNotificationCenter.h"
#include "platform/testing/ManualClock.h"
#include "support/Dunst.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace kavro {
namespace {

using platform::DBusNotificationCenter;
using platform::NotificationRequest;
using testing::closeAllAndReadHistory;
using testing::displayedCount;
using testing::dunstctl;
using testing::newest;
using testing::waitUntil;

class DesktopNotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing =
            testing::claimTestDunst(DBusNotificationCenter::kServiceName, m_dunstDir, m_lock);
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        ASSERT_TRUE(m_lock);

        m_center = std::make_unique<DBusNotificationCenter>();
        m_alerts = std::make_unique<core::AlertCenter>(
            *m_center, m_clock, core::AlertCenter::Settings{[] { return true; }, [] { return true; }},
            [] { return 0.5; });
        m_alerts->setupNotifications();
    }

    void TearDown() override {
        if (m_lock) {
            dunstctl({QStringLiteral("close-all")});
        }
    }

    // Waits until the server has answered every request sent.
    void settle() {
        ASSERT_TRUE(waitUntil([this] { return m_center->pendingRequestCount() == 0; }));
    }

    QDir m_dunstDir;
    std::unique_ptr<QLockFile> m_lock;
    platform::testing::ManualClock m_clock;
    std::unique_ptr<DBusNotificationCenter> m_center;
    std::unique_ptr<core::AlertCenter> m_alerts;
};

TEST_F(DesktopNotificationTest, AlertsArriveWithTheirTextsUrgencyAndCategory) {
    m_alerts->sendThresholdNotification(models::DoseLevel::caution);
    m_alerts->sendThresholdNotification(models::DoseLevel::danger);
    m_alerts->sendPeakNotification(141.2);
    m_alerts->sendSustainedExposureNotification(94.0);
    m_alerts->sendSessionRecapNotification(12.5, 50.0);
    m_alerts->sendDeviceDisconnectedNotification();
    settle();
    EXPECT_TRUE(waitUntil([] { return displayedCount() == 6; })) << displayedCount();

    const auto history = closeAllAndReadHistory();
    const auto caution = newest(history, QStringLiteral("⚠️ Hearing Dose: Caution (40%)"));
    ASSERT_TRUE(caution);
    EXPECT_EQ(caution->body,
              "You've been in the caution zone\nTry lowering your monitor volume by 3–6 dB. Even a "
              "small reduction significantly extends your safe listening time.");
    EXPECT_EQ(caution->category, "SESSION_ALERT");
    EXPECT_NE(caution->timeout, 0) << "normal urgency";

    const auto danger = newest(history, QStringLiteral("🔴 Hearing Dose: Over-exposed (90%+)"));
    ASSERT_TRUE(danger);
    EXPECT_TRUE(danger->body.startsWith("Daily NIOSH limit exceeded\nStep away from your monitors."));
    EXPECT_EQ(danger->category, "dose-danger");
    EXPECT_EQ(danger->timeout, 0) << "critical urgency";

    const auto peak = newest(history, QStringLiteral("🔴 Impulse Peak: 141 dBC"));
    ASSERT_TRUE(peak);
    EXPECT_EQ(peak->category, "PEAK_ALERT");
    EXPECT_EQ(peak->timeout, 0);

    const auto sustained = newest(history, QStringLiteral("🔊 Sustained 94 dBA — 10 min"));
    ASSERT_TRUE(sustained);
    EXPECT_TRUE(sustained->body.contains("Only ~30 min")) << sustained->body.toStdString();
    EXPECT_EQ(sustained->timeout, 0);

    const auto recap = newest(history, QStringLiteral("Session complete"));
    ASSERT_TRUE(recap);
    EXPECT_EQ(recap->body,
              "This session used 12.5% of your daily dose. Running total: 50.0% — 50.0% remaining today.");
    EXPECT_NE(recap->timeout, 0);

    const auto disconnected = newest(history, QStringLiteral("Microphone Disconnected"));
    ASSERT_TRUE(disconnected);
    EXPECT_EQ(disconnected->category, "DEVICE_DISCONNECTED");
    EXPECT_EQ(disconnected->timeout, 0);
}

TEST_F(DesktopNotificationTest, ARequestReplacesTheNotificationOfItsIdentifier) {
    NotificationRequest request;
    request.identifier = QStringLiteral("replacement-test");
    request.title = QStringLiteral("Replacement first");
    request.body = QStringLiteral("one");
    m_center->add(request);
    // Sent before the server has numbered the first: it must still replace it.
    request.title = QStringLiteral("Replacement second");
    m_center->add(request);
    settle();
    request.title = QStringLiteral("Replacement third");
    m_center->add(request);
    settle();
    EXPECT_EQ(displayedCount(), 1);

    const auto history = closeAllAndReadHistory();
    EXPECT_TRUE(newest(history, QStringLiteral("Replacement third")));
    // A closed notification cannot be replaced: the next one is new.
    m_center->add(request);
    settle();
    EXPECT_TRUE(waitUntil([] { return displayedCount() == 1; }));
}

TEST_F(DesktopNotificationTest, SnoozeButtonSilencesAlertsButNotTheRecap) {
    m_alerts->sendThresholdNotification(models::DoseLevel::caution);
    m_alerts->sendSessionRecapNotification(3.0, 45.0);
    settle();
    ASSERT_TRUE(waitUntil([] { return displayedCount() == 2; }));

    ASSERT_TRUE(testing::chooseFromDunstMenu(m_dunstDir, "SNOOZE_30"));
    dunstctl({QStringLiteral("context")});
    ASSERT_TRUE(waitUntil([this] { return m_alerts->snoozedUntil().has_value(); }));
    EXPECT_EQ(m_clock.now().secsTo(*m_alerts->snoozedUntil()), 1800);

    // Only the band notification offered the button; the recap has none.
    QFile menu(m_dunstDir.filePath(QStringLiteral("dunst-menu.txt")));
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    const QString offered = QString::fromUtf8(menu.readAll());
    EXPECT_TRUE(offered.contains("#Snooze 30 min (⚠️ Hearing Dose: Caution (40%))"))
        << offered.toStdString();
    EXPECT_EQ(offered.count("SNOOZE_30"), 1) << offered.toStdString();

    dunstctl({QStringLiteral("close-all")});
    ASSERT_TRUE(waitUntil([] { return displayedCount() == 0; }));
    m_clock.advance(1799.0);
    m_alerts->sendThresholdNotification(models::DoseLevel::warning);
    m_alerts->sendPeakNotification(138.0);
    m_alerts->sendSustainedExposureNotification(95.0);
    m_alerts->sendSessionRecapNotification(4.0, 49.0);
    settle();
    EXPECT_TRUE(waitUntil([] { return displayedCount() == 1; }));
    const auto history = closeAllAndReadHistory();
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history.front().summary, "Session complete");

    m_clock.advance(1.0);
    m_alerts->sendThresholdNotification(models::DoseLevel::warning);
    settle();
    EXPECT_TRUE(waitUntil([] { return displayedCount() == 1; }));
}

TEST(DesktopNotificationWithoutServer, RequestsAreDroppedQuietly) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        GTEST_SKIP() << "no session bus";
    }
    DBusNotificationCenter center(bus, QStringLiteral("org.kavro.test.NoSuchNotificationServer"));
    NotificationRequest request;
    request.identifier = QStringLiteral("nobody-listens");
    request.title = QStringLiteral("Nobody");
    center.add(request);
    center.add(request);
    EXPECT_TRUE(waitUntil([&] { return center.pendingRequestCount() == 0; }));
    center.add(request);
    EXPECT_TRUE(waitUntil([&] { return center.pendingRequestCount() == 0; }));

    DBusNotificationCenter disconnected(QDBusConnection(QStringLiteral("kavro-never-connected")));
    disconnected.add(request);
    EXPECT_EQ(disconnected.pendingRequestCount(), 0);
}

} // namespace
} // namespace kavro
