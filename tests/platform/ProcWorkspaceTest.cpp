// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/ProcWorkspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kavro::platform {
namespace {

const ProcWorkspace::AliasTable kAliases{
    {QStringLiteral("reaper"), QStringLiteral("com.cockos.reaper")},
    {QStringLiteral("ardour"), QStringLiteral("org.ardour.Ardour")},
    {QStringLiteral("openshot-qt"), QStringLiteral("org.openshot.OpenShot")},
    {QStringLiteral("org.audacityteam.Audacity"), QStringLiteral("org.audacityteam.audacity")},
};

// A stand-in for /proc with the few files the workspace reads, in a folder owned by
// the user running the test.
class FakeProc {
public:
    struct Process {
        QString executable; // the exe link's target; empty: no link
        QString command;    // comm
        QString cgroup;
        QString flatpakInfo;
        QString commandLine = QStringLiteral("program");
        // The process's root cannot be entered, as for a sandbox closed to us.
        bool closedRoot = false;
    };

    QString root() const { return m_folder.path(); }

    void add(int pid, const Process& process) {
        const QDir folder(m_folder.filePath(QString::number(pid)));
        QDir().mkpath(folder.path());
        if (!process.executable.isEmpty()) {
            QFile::link(process.executable, folder.filePath("exe"));
        }
        write(folder.filePath("comm"), process.command + "\n");
        write(folder.filePath("cgroup"), process.cgroup);
        write(folder.filePath("cmdline"), process.commandLine);
        if (process.closedRoot) {
            write(folder.filePath("root"), {});
        } else if (!process.flatpakInfo.isEmpty()) {
            QDir().mkpath(folder.filePath("root"));
            write(folder.filePath("root/.flatpak-info"), process.flatpakInfo);
        }
    }
    void remove(int pid) { QDir(m_folder.filePath(QString::number(pid))).removeRecursively(); }
    // What an exec does: the same process now runs another program.
    void exec(int pid, const QString& executable, const QString& command) {
        remove(pid);
        add(pid, {executable, command, {}, {}});
    }

private:
    static void write(const QString& path, const QString& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir m_folder;
};

TEST(ProcWorkspaceResolution, NamesProcessesByFlatpakIdAliasOrExecutable) {
    const QString flatpakCgroup = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                  "app-flatpak-org.audacityteam.Audacity-4242.scope\n";
    const std::pair<FakeProc::Process, QString> cases[] = {
        {{"/opt/REAPER/reaper", "reaper", "0::/user.slice/session-2.scope", {}}, "com.cockos.reaper"},
        {{"/usr/lib/ardour7/ardour-7.3.0~ds0", "ardour-7.3.0~ds", {}, {}}, "org.ardour.Ardour"},
        {{"/opt/Ardour-8.4.0/bin/ardour8", "ardour8", {}, {}}, "org.ardour.Ardour"},
        {{"/usr/bin/gedit", "gedit", {}, {}}, "gedit"},
        {{"/app/bin/audacity", "audacity", flatpakCgroup, {}, "audacity", true}, "org.audacityteam.audacity"},
        {{"/app/bin/x", "x", "0::/app.slice/app-flatpak-com.example.My-Tool-77.scope", {}, "x", true},
         "com.example.My-Tool"},
        // An open root without a .flatpak-info is no sandbox, whatever the cgroup says.
        {{"/usr/bin/z", "z", "0::/app.slice/app-flatpak-com.example.Z-1.scope", {}}, "z"},
        {{"/app/bin/y", "y", "0::/", "[Application]\nname=org.example.Boxed\nruntime=x\n"},
         "org.example.Boxed"},
        {{"/usr/bin/python3.11", "openshot-qt", {}, {}}, "org.openshot.OpenShot"},
        {{"/opt/REAPER/reaper (deleted)", "reaper", {}, {}}, "com.cockos.reaper"},
        {{{}, "kworker/0:1", {}, {}, {}}, ""}, // a kernel thread is no application
        {{{}, "guarded", {}, {}}, "guarded"},
    };
    FakeProc proc;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        proc.add(100 + static_cast<int>(i), cases[i].first);
    }
    ProcWorkspace workspace(kAliases, proc.root(), std::chrono::milliseconds(0));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(workspace.resolveApplicationId(100 + static_cast<int>(i)), cases[i].second) << i;
    }
    EXPECT_EQ(workspace.resolveApplicationId(999), "");
    EXPECT_EQ(workspace.listedProcessCount(), std::size(cases));
}

class ProcWorkspaceScanTest : public ::testing::Test {
protected:
    void build() {
        workspace = std::make_unique<ProcWorkspace>(kAliases, proc.root(), std::chrono::milliseconds(0));
        workspace->setLaunchHandler(
            [this](const RunningApplication& app) { events.push_back("+" + app.applicationId); });
        workspace->setTerminationHandler(
            [this](const RunningApplication& app) { events.push_back("-" + app.applicationId); });
    }
    std::vector<QString> takeEvents() { return std::exchange(events, {}); }
    std::vector<QString> running() const {
        std::vector<QString> ids;
        for (const auto& app : workspace->runningApplications()) {
            ids.push_back(app.applicationId);
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    FakeProc proc;
    std::unique_ptr<ProcWorkspace> workspace;
    std::vector<QString> events;
};

TEST_F(ProcWorkspaceScanTest, ProcessesOfOneIdAreOneApplication) {
    proc.add(200, {"/usr/bin/bash", "bash", {}, {}});
    build();
    EXPECT_EQ(running(), std::vector<QString>{"bash"});
    workspace->scan();
    EXPECT_TRUE(takeEvents().empty()) << "what ran at the start is not launched";

    proc.add(201, {"/opt/REAPER/reaper", "reaper", {}, {}});
    proc.add(202, {"/opt/REAPER/reaper", "reaper", {}, {}});
    workspace->scan();
    EXPECT_EQ(takeEvents(), std::vector<QString>{"+com.cockos.reaper"});
    EXPECT_EQ(running(), (std::vector<QString>{"bash", "com.cockos.reaper"}));

    proc.remove(201);
    workspace->scan();
    EXPECT_TRUE(takeEvents().empty());
    proc.remove(202);
    workspace->scan();
    EXPECT_EQ(takeEvents(), std::vector<QString>{"-com.cockos.reaper"});
    EXPECT_EQ(running(), std::vector<QString>{"bash"});
}

TEST_F(ProcWorkspaceScanTest, LaunchesAreReportedBeforeQuitsOfTheSameScan) {
    build();
    proc.add(300, {"/opt/REAPER/reaper", "reaper", {}, {}});
    workspace->scan();
    takeEvents();
    proc.remove(300);
    proc.add(301, {"/usr/bin/ardour8", "ardour8", {}, {}});
    workspace->scan();
    EXPECT_EQ(takeEvents(), (std::vector<QString>{"+org.ardour.Ardour", "-com.cockos.reaper"}));
}

TEST_F(ProcWorkspaceScanTest, AWrapperThatExecsTheWorkstationIsRenamedOnTheNextScan) {
    build();
    proc.add(400, {"/usr/bin/dash", "sh", {}, {}});
    workspace->scan();
    EXPECT_EQ(takeEvents(), std::vector<QString>{"+dash"});
    proc.exec(400, "/usr/lib/ardour7/ardour-7.3.0~ds0", "ardour-7.3.0~ds");
    workspace->scan();
    EXPECT_EQ(takeEvents(), (std::vector<QString>{"+org.ardour.Ardour", "-dash"}));
    proc.remove(400);
    workspace->scan();
    EXPECT_EQ(takeEvents(), std::vector<QString>{"-org.ardour.Ardour"});
}

TEST(ProcWorkspaceFailures, AMissingProcFolderListsNothing) {
    ProcWorkspace workspace(kAliases, QStringLiteral("/nonexistent/proc"), std::chrono::milliseconds(0));
    workspace.scan();
    EXPECT_EQ(workspace.listedProcessCount(), 0u);
    EXPECT_TRUE(workspace.runningApplications().empty());
}

} // namespace
} // namespace kavro::platform
