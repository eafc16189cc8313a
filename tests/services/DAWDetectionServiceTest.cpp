// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/DAWDetectionService.h"

#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "support/ParamNames.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace kavro::services {
namespace {

using platform::MemoryPreferencesStore;
using platform::testing::ScriptedWorkspace;
namespace keys = platform::keys;

const QString kLive = QStringLiteral("com.ableton.live");
const QString kReaper = QStringLiteral("com.cockos.reaper");

class DAWDetectionServiceTest : public ::testing::Test {
protected:
    // Builds the service over what is running now and wires the callbacks afterwards,
    // as the application does.
    void build() {
        service = std::make_unique<DAWDetectionService>(workspace, preferences);
        service->onDAWLaunched = [this](const QString& name) { launchedNames.push_back(name); };
        service->onAllDAWsQuit = [this] { ++allQuitCalls; };
    }

    ScriptedWorkspace workspace;
    MemoryPreferencesStore preferences;
    std::unique_ptr<DAWDetectionService> service;
    std::vector<QString> launchedNames;
    int allQuitCalls = 0;
};

TEST_F(DAWDetectionServiceTest, FirstLaunchAndLastQuitCallBackAndOthersDoNot) {
    build();
    QSignalSpy changes(service.get(), &DAWDetectionService::changed);
    workspace.launch(kLive);
    EXPECT_EQ(service->activeDAWs(), (ApplicationTable{{kLive, "Ableton Live"}}));
    EXPECT_TRUE(service->isDAWRunning());
    EXPECT_EQ(launchedNames, std::vector<QString>{"Ableton Live"});

    workspace.launch(kReaper);
    EXPECT_EQ(service->activeDAWs().size(), 2);
    workspace.terminate(kLive);
    EXPECT_EQ(service->activeDAWs(), (ApplicationTable{{kReaper, "REAPER"}}));
    EXPECT_EQ(launchedNames.size(), 1u);
    EXPECT_EQ(allQuitCalls, 0);

    workspace.terminate(kReaper);
    EXPECT_FALSE(service->isDAWRunning());
    EXPECT_EQ(allQuitCalls, 1);
    EXPECT_EQ(changes.count(), 4);
}

TEST_F(DAWDetectionServiceTest, UnwatchedAndUnnamedApplicationsChangeNothing) {
    build();
    QSignalSpy changes(service.get(), &DAWDetectionService::changed);
    workspace.launch(QStringLiteral("org.mozilla.firefox"));
    workspace.launch(QString());
    workspace.terminate(QStringLiteral("org.mozilla.firefox"));
    workspace.terminate(QString());
    EXPECT_TRUE(service->activeDAWs().isEmpty());
    EXPECT_TRUE(launchedNames.empty());
    EXPECT_EQ(allQuitCalls, 0);
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(DAWDetectionServiceTest, EitherOfTwoInstancesQuittingEndsTheApplication) {
    build();
    const auto first = workspace.launch(kReaper);
    workspace.launch(kReaper);
    EXPECT_EQ(launchedNames.size(), 1u);
    workspace.terminate(kReaper, first.processId + 1);
    EXPECT_FALSE(service->isDAWRunning());
    EXPECT_EQ(allQuitCalls, 1);
    // The remaining instance quitting is no longer news.
    workspace.terminate(kReaper);
    EXPECT_EQ(allQuitCalls, 1);
}

TEST_F(DAWDetectionServiceTest, ApplicationRunningAtConstructionIsActiveButStartsNothing) {
    workspace.setRunning({QStringLiteral("org.gnome.Nautilus"), kLive, kLive});
    build();
    EXPECT_EQ(service->activeDAWs(), (ApplicationTable{{kLive, "Ableton Live"}}));
    EXPECT_TRUE(service->isDAWRunning());
    EXPECT_TRUE(launchedNames.empty());

    // Another launch while it runs is not a first launch either.
    workspace.launch(kReaper);
    EXPECT_TRUE(launchedNames.empty());
    workspace.terminate(kReaper);
    workspace.terminate(kLive);
    EXPECT_EQ(allQuitCalls, 1);
    workspace.launch(kReaper);
    EXPECT_EQ(launchedNames, std::vector<QString>{"REAPER"});
}

TEST_F(DAWDetectionServiceTest, UserEntriesNeedBothTextsAndTakeEffectAtTheNextLaunch) {
    build();
    const QString tracker = QStringLiteral("renoise");
    EXPECT_FALSE(service->addWatchedApplication(tracker, QString()));
    EXPECT_FALSE(service->addWatchedApplication(QString(), QStringLiteral("Renoise")));
    EXPECT_FALSE(service->watchedBundleIDs().contains(tracker));

    workspace.launch(tracker);
    EXPECT_TRUE(service->addWatchedApplication(tracker, QStringLiteral("Renoise")));
    EXPECT_FALSE(service->isDAWRunning()) << "nothing is rescanned";
    workspace.terminate(tracker);
    workspace.launch(tracker);
    EXPECT_EQ(launchedNames, std::vector<QString>{"Renoise"});

    // Removed while running: its quit still ends it.
    service->removeWatchedApplication(tracker);
    EXPECT_FALSE(service->watchedBundleIDs().contains(tracker));
    workspace.terminate(tracker);
    EXPECT_EQ(allQuitCalls, 1);
    workspace.launch(tracker);
    EXPECT_EQ(launchedNames.size(), 1u);
}

TEST_F(DAWDetectionServiceTest, BuiltInEntriesCanBeRenamedButNotRemoved) {
    build();
    service->removeWatchedApplication(QStringLiteral("com.apple.logic10"));
    service->removeWatchedApplication(QStringLiteral("org.ardour.Ardour"));
    EXPECT_TRUE(service->watchedBundleIDs().contains("com.apple.logic10"));
    EXPECT_TRUE(service->watchedBundleIDs().contains("org.ardour.Ardour"));

    service->addWatchedApplication(kReaper, QStringLiteral("Reaper 7"));
    workspace.launch(kReaper);
    EXPECT_EQ(launchedNames, std::vector<QString>{"Reaper 7"});

    // Renaming a built-in entry stores nothing: the next run has the built-in name.
    EXPECT_FALSE(platform::Settings(preferences).stored(keys::customWatchedApplications));
    service.reset();
    build();
    EXPECT_EQ(service->watchedBundleIDs(), builtInWorkstationIDs());
}

TEST_F(DAWDetectionServiceTest, UserEntriesSurviveARestartAndARemovalToo) {
    build();
    service->addWatchedApplication(QStringLiteral("renoise"), QStringLiteral("Renoise"));
    service->addWatchedApplication(QStringLiteral("org.example.Tracker"), QStringLiteral("Tracker"));
    service->removeWatchedApplication(QStringLiteral("org.example.Tracker"));

    // The next run already knows the entry, so an instance running at launch is active.
    workspace.setRunning({QStringLiteral("renoise")});
    service.reset();
    build();
    ApplicationTable expected = builtInWorkstationIDs();
    expected.insert(QStringLiteral("renoise"), QStringLiteral("Renoise"));
    EXPECT_EQ(service->watchedBundleIDs(), expected);
    EXPECT_EQ(service->activeDAWs(), (ApplicationTable{{"renoise", "Renoise"}}));

    service->removeWatchedApplication(QStringLiteral("renoise"));
    service.reset();
    build();
    EXPECT_EQ(service->watchedBundleIDs(), builtInWorkstationIDs());
}

using kavro::testing::PrintTo;

struct StoredEntriesCase {
    const char* name;
    QByteArray stored;
    ApplicationTable restored; // besides the built-in entries
};

class StoredWatchListTest : public DAWDetectionServiceTest,
                            public ::testing::WithParamInterface<StoredEntriesCase> {};

TEST_P(StoredWatchListTest, RestoresOnlyWellFormedUserEntries) {
    platform::Settings(preferences).setValue(keys::customWatchedApplications, GetParam().stored);
    build();
    ApplicationTable expected = builtInWorkstationIDs();
    expected.insert(GetParam().restored);
    EXPECT_EQ(service->watchedBundleIDs(), expected);
    // Whatever was found, the stored value is not rewritten by reading it.
    EXPECT_EQ(platform::Settings(preferences).stored(keys::customWatchedApplications), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredWatchListTest,
    ::testing::Values(StoredEntriesCase{"two",
                                        R"({"renoise":"Renoise","org.example.Edit":"Edit"})",
                                        {{"renoise", "Renoise"}, {"org.example.Edit", "Edit"}}},
                      StoredEntriesCase{"notJson", "renoise=Renoise", {}},
                      StoredEntriesCase{"array", R"(["renoise","Renoise"])", {}},
                      StoredEntriesCase{"badValuesSkipped",
                                        R"({"renoise":7,"":"Blank","edit":"","ok":"OK"})",
                                        {{"ok", "OK"}}},
                      // A stored name never overrides the built-in table.
                      StoredEntriesCase{"builtInSkipped", R"({"com.cockos.reaper":"Mine"})", {}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The lists themselves are data; what must hold is that they fit together.
TEST(KnownWorkstations, BuiltInsAreTheSharedAndLinuxEntriesAndEveryAliasNamesOne) {
    const ApplicationTable& builtIn = builtInWorkstationIDs();
    EXPECT_EQ(builtIn.size(), knownDAWBundleIDs().size() + linuxWorkstationIDs().size())
        << "an identifier appears in both lists";
    for (auto alias = workstationAliases().cbegin(); alias != workstationAliases().cend(); ++alias) {
        EXPECT_TRUE(builtIn.contains(alias.value())) << alias.key().toStdString();
    }
    for (auto entry = builtIn.cbegin(); entry != builtIn.cend(); ++entry) {
        EXPECT_FALSE(entry.value().isEmpty()) << entry.key().toStdString();
    }
}

} // namespace
} // namespace kavro::services
