// SPDX-License-Identifier: GPL-3.0-or-later
// Real processes named like watched workstations, seen through the /proc workspace.
#include "platform/MemoryPreferencesStore.h"
#include "platform/linux/ProcWorkspace.h"
#include "services/DAWDetectionService.h"
#include "support/FakeWorkstations.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kavro {
namespace {

using testing::waitUntil;

class WorkstationProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::FakeWorkstations::available()) {
            GTEST_SKIP() << "no program to copy";
        }
        ASSERT_TRUE(m_workstations.lock());
    }

    QProcess& startAs(const QString& executableName) { return m_workstations.startAs(executableName); }
    static void stop(QProcess& process) { testing::FakeWorkstations::stop(process); }

    void buildService() {
        m_workspace = std::make_unique<platform::ProcWorkspace>(services::workstationAliases());
        m_service = std::make_unique<services::DAWDetectionService>(*m_workspace, m_preferences);
        m_service->onDAWLaunched = [this](const QString& name) { m_launched.push_back(name); };
        m_service->onAllDAWsQuit = [this] { ++m_allQuit; };
    }

    testing::FakeWorkstations m_workstations;
    platform::MemoryPreferencesStore m_preferences;
    std::unique_ptr<platform::ProcWorkspace> m_workspace;
    std::unique_ptr<services::DAWDetectionService> m_service;
    std::vector<QString> m_launched;
    int m_allQuit = 0;
};

TEST_F(WorkstationProcessTest, LaunchesAndQuitsOfWatchedProcessesAreSeenWithinTwoSeconds) {
    buildService();
    QProcess& reaper = startAs(QStringLiteral("reaper"));
    ASSERT_TRUE(waitUntil([this] { return !m_launched.empty(); }, 2500));
    EXPECT_EQ(m_launched, std::vector<QString>{"REAPER"});

    QProcess& bitwig = startAs(QStringLiteral("bitwig-studio"));
    ASSERT_TRUE(waitUntil([this] { return m_service->activeDAWs().size() == 2; }, 2500));
    EXPECT_EQ(m_launched.size(), 1u);

    stop(reaper);
    ASSERT_TRUE(waitUntil([this] { return m_service->activeDAWs().size() == 1; }, 2500));
    EXPECT_EQ(m_allQuit, 0);
    EXPECT_TRUE(m_service->activeDAWs().contains("com.bitwig.studio"));

    stop(bitwig);
    EXPECT_TRUE(waitUntil([this] { return m_allQuit == 1; }, 2500));
    EXPECT_FALSE(m_service->isDAWRunning());
}

TEST_F(WorkstationProcessTest, VersionedArdourStartedThroughAShellWrapperIsSeen) {
    buildService();
    const QString ardour = m_workstations.folder().filePath(QStringLiteral("ardour-7.3.0~ds0"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), ardour));
    QFile::setPermissions(ardour, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto wrapper = std::make_unique<QProcess>();
    // The shell lives for a moment before it becomes the workstation, as launch scripts do.
    wrapper->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), "sleep 0.5; exec '" + ardour + "' 600"});
    ASSERT_TRUE(wrapper->waitForStarted(5000));
    m_workstations.adopt(std::move(wrapper));
    EXPECT_TRUE(waitUntil([this] { return !m_launched.empty(); }, 3500));
    EXPECT_EQ(m_launched, std::vector<QString>{"Ardour"});
}

} // namespace
} // namespace kavro
