// Real processes named like watched workstations, seen through the /proc workspace.
#include "platform/linux/ProcWorkspace.h"
#include "services/DAWDetectionService.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace kavro {
namespace {

using testing::waitUntil;

class WorkstationProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        if (!QFile::exists(QStringLiteral("/bin/sleep"))) {
            GTEST_SKIP() << "no /bin/sleep to copy";
        }
        // Every process on the machine is seen: tests that start workstation-named
        // processes must not run at the same time.
        m_lock.setStaleLockTime(0);
        ASSERT_TRUE(m_lock.lock());
    }

    void TearDown() override {
        for (auto& process : m_processes) {
            process->kill();
            process->waitForFinished(5000);
        }
    }

    // Starts a copy of a harmless program under a workstation's executable name.
    QProcess& startAs(const QString& executableName) {
        const QString path = m_folder.filePath(executableName);
        if (!QFile::exists(path)) {
            EXPECT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        auto process = std::make_unique<QProcess>();
        process->start(path, {QStringLiteral("600")});
        EXPECT_TRUE(process->waitForStarted(5000));
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }

    void stop(QProcess& process) {
        process.kill();
        process.waitForFinished(5000);
    }

    void buildService() {
        m_workspace = std::make_unique<platform::ProcWorkspace>(services::workstationAliases());
        m_service = std::make_unique<services::DAWDetectionService>(*m_workspace);
        m_service->onDAWLaunched = [this](const QString& name) { m_launched.push_back(name); };
        m_service->onAllDAWsQuit = [this] { ++m_allQuit; };
    }

    QLockFile m_lock{QDir::temp().filePath(QStringLiteral("kavro-workstation-process-tests.lock"))};
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_processes;
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
    const QString ardour = m_folder.filePath(QStringLiteral("ardour-7.3.0~ds0"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), ardour));
    QFile::setPermissions(ardour, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto wrapper = std::make_unique<QProcess>();
    // The shell lives for a moment before it becomes the workstation, as launch scripts do.
    wrapper->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), "sleep 0.5; exec '" + ardour + "' 600"});
    ASSERT_TRUE(wrapper->waitForStarted(5000));
    m_processes.push_back(std::move(wrapper));
    EXPECT_TRUE(waitUntil([this] { return !m_launched.empty(); }, 3500));
    EXPECT_EQ(m_launched, std::vector<QString>{"Ardour"});
}

TEST_F(WorkstationProcessTest, AWorkstationRunningBeforeTheServiceStartsNothing) {
    QProcess& reaper = startAs(QStringLiteral("reaper"));
    QTest::qWait(100);
    buildService();
    EXPECT_TRUE(m_service->isDAWRunning());
    QTest::qWait(1500);
    EXPECT_TRUE(m_launched.empty());

    stop(reaper);
    EXPECT_TRUE(waitUntil([this] { return m_allQuit == 1; }, 2500));
}

} // namespace
} // namespace kavro
