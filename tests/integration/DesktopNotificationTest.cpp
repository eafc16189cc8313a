// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications shown by a real notification server (dunst on the session bus that
// scripts/with-test-servers starts), read back with dunstctl.
#include "core/AlertCenter.h"
#include "platform/linux/DBusNotificationCenter.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "support/Dunst.h"
#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDir>
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

// Each alert arrives as the alert centre asked for it: the subtitle as the first line of
// the body (the protocol has none), its category, and critical urgency (no timeout) for
// what is time-sensitive. The texts themselves are the alert centre's own test.
TEST_F(DesktopNotificationTest, AlertsArriveWithTheirTextsUrgencyAndCategory) {
    platform::testing::RecordingNotificationCenter asked;
    core::AlertCenter recorded(asked, m_clock,
                               core::AlertCenter::Settings{[] { return true; }, [] { return true; }},
                               [] { return 0.5; });
    for (core::AlertCenter* alerts : {m_alerts.get(), &recorded}) {
        alerts->sendThresholdNotification(models::DoseLevel::caution);
        alerts->sendThresholdNotification(models::DoseLevel::danger);
        alerts->sendPeakNotification(141.2);
        alerts->sendSustainedExposureNotification(94.0);
        alerts->sendSessionRecapNotification(12.5, 50.0);
        alerts->sendDeviceDisconnectedNotification();
    }
    settle();
    EXPECT_TRUE(waitUntil([] { return displayedCount() == 6; })) << displayedCount();

    const auto history = closeAllAndReadHistory();
    ASSERT_EQ(asked.requests().size(), 6u);
    for (const NotificationRequest& request : asked.requests()) {
        SCOPED_TRACE(request.identifier.toStdString());
        const auto shown = newest(history, request.title);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->body, request.subtitle ? *request.subtitle + '\n' + request.body : request.body);
        EXPECT_EQ(shown->category, request.categoryIdentifier);
        EXPECT_EQ(shown->timeout == 0, request.timeSensitive);
    }
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
