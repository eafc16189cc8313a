// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kavro::platform {
namespace {

class XdgAutostartLoginItemTest : public ::testing::Test {
protected:
    QString readEntry() const {
        QFile file(item.entryPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void writeEntry(const QByteArray& text) {
        QDir().mkpath(autostart());
        QFile file(item.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QString autostart() const { return config.filePath("autostart"); }

    QTemporaryDir config;
    XdgAutostartLoginItem item{autostart(), QStringLiteral("/usr/bin/kavro")};
};

TEST_F(XdgAutostartLoginItemTest, RegisterWritesTheEntryAndUnregisterRemovesIt) {
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(item.registerItem());
    EXPECT_EQ(item.entryPath(), autostart() + "/kavro.desktop");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    EXPECT_EQ(
        readEntry(),
        "[Desktop Entry]\nType=Application\nName=Kavro\nExec=\"/usr/bin/kavro\"\nIcon=io.github.kavro.Kavro\n"
        "Terminal=false\nX-GNOME-Autostart-enabled=true\n");
    // Registering again is harmless.
    EXPECT_FALSE(item.registerItem());

    EXPECT_FALSE(item.unregisterItem());
    EXPECT_FALSE(QFile::exists(item.entryPath()));
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(item.unregisterItem()) << "nothing to remove is no failure";
}

TEST_F(XdgAutostartLoginItemTest, AnEntrySwitchedOffByTheDesktopIsNotEnabled) {
    writeEntry("[Desktop Entry]\nExec=kavro\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    writeEntry("[Desktop Entry]\nExec=kavro\nX-GNOME-Autostart-enabled = false\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    // Keys of other groups do not count.
    writeEntry("[Desktop Entry]\nExec=kavro\n[Desktop Action x]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);

    EXPECT_FALSE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
}

TEST(XdgAutostartExec, ReservedCharactersAreQuotedAndEscapedTwice) {
    EXPECT_EQ(XdgAutostartLoginItem::execValue("/opt/My Apps/kavro"), "\"/opt/My Apps/kavro\"");
    EXPECT_EQ(XdgAutostartLoginItem::execValue("/opt/100%/kavro"), "\"/opt/100%%/kavro\"");
    // A quote becomes \" for the command line, and its backslash is doubled for the file.
    EXPECT_EQ(XdgAutostartLoginItem::execValue("/opt/a\"b/kavro"), "\"/opt/a\\\\\"b/kavro\"");
    EXPECT_EQ(XdgAutostartLoginItem::execValue("/opt/$HOME/`x`/kavro"),
              "\"/opt/\\\\$HOME/\\\\`x\\\\`/kavro\"");
    EXPECT_EQ(XdgAutostartLoginItem::execValue("/opt/a\\b/kavro"), "\"/opt/a\\\\\\\\b/kavro\"");
    EXPECT_FALSE(XdgAutostartLoginItem::execValue("/opt/line\nbreak/kavro"));
    EXPECT_FALSE(XdgAutostartLoginItem::execValue("kavro"));
}

TEST(XdgAutostartFailures, FailuresAreReportedAndLeaveNoEntry) {
    QTemporaryDir config;
    // A file where the autostart folder should be.
    QFile blocker(config.filePath("autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostartLoginItem blocked(config.filePath("autostart"), QStringLiteral("/usr/bin/kavro"));
    EXPECT_TRUE(blocked.registerItem());
    EXPECT_EQ(blocked.status(), LoginItemStatus::notRegistered);

    XdgAutostartLoginItem unsafe(config.filePath("elsewhere"), QStringLiteral("/tmp/a\nExec=/bin/evil"));
    const auto error = unsafe.registerItem();
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->message.isEmpty());
    EXPECT_FALSE(QFile::exists(unsafe.entryPath()));
}

TEST(XdgAutostartFolder, FollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/kavro-config-home");
    EXPECT_EQ(XdgAutostartLoginItem::defaultAutostartFolder(), "/tmp/kavro-config-home/autostart");
    if (saved.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", saved);
    }
}

} // namespace
} // namespace kavro::platform
