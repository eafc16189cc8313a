// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OutputProfileCommand.h"
#include "platform/MemoryPreferencesStore.h"
#include "services/OutputProfileStore.h"
#include "support/CommandRun.h"

#include <gtest/gtest.h>

using kavro::models::OutputProfile;
using kavro::platform::MemoryPreferencesStore;
using kavro::services::OutputProfileStore;

namespace {

const QString kHeadphones = QStringLiteral("alsa_output.usb#analog-output-headphones");

kavro::testsupport::CommandRun run(MemoryPreferencesStore& preferences, const QStringList& args) {
    return kavro::testsupport::runCommand(kavro::cli::runOutputProfile, args, &preferences);
}

TEST(OutputProfileCommand, SetsShowsAndRemovesWhatTheProgramReads) {
    MemoryPreferencesStore preferences;
    EXPECT_TRUE(run(preferences, {}).out.contains(QLatin1String("estimated")));

    const auto set =
        run(preferences, {"--set", kHeadphones, "--sensitivity", "102", "--per", "mW", "--impedance", "32",
                          "--max-output", "4", "--unit", "dBu", "--name", "Scarlett · Headphones"});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(set.out.contains(kHeadphones + "  121.7 dB SPL  data sheet"));
    ASSERT_EQ(run(preferences, {"--set", "spk#", "--reference", "104.5"}).exitCode, 0);

    // The application's own store finds both, each by its key.
    const OutputProfileStore store(preferences);
    const auto headphones = store.referenceFor(kHeadphones, QString());
    EXPECT_NEAR(headphones.fullScaleDbSpl, 121.74, 0.01);
    EXPECT_FALSE(headphones.estimated);
    EXPECT_EQ(headphones.displayName, "Scarlett · Headphones");
    EXPECT_EQ(store.profileFor("spk#")->basis, OutputProfile::Basis::typed);

    ASSERT_EQ(run(preferences, {"--remove", "spk#"}).exitCode, 0);
    EXPECT_EQ(OutputProfileStore(preferences).profiles().size(), 1);
}

TEST(OutputProfileCommand, ImpossibleOrIncompleteFiguresAreRefusedWithTheirReason) {
    struct Row {
        QStringList args;
        const char* reason;
    };
    const QStringList sheet{"--set",        "x#", "--sensitivity", "102", "--per", "mW",
                            "--max-output", "4",  "--unit",        "dBu"};
    const Row rows[] = {
        {sheet + QStringList{"--impedance", "-32"}, "impedance"},
        {sheet, "impedance"},
        {{"--set", "x#", "--reference", "abc"}, "number"},
        {{"--set", "x#", "--reference", "300"}, "reference must lie"},
        {{"--set", "x#", "--reference", "100", "--sensitivity", "102"}, "either"},
        {{"--set", "x#", "--sensitivity", "102", "--per", "dB", "--max-output", "4", "--unit", "dBu"},
         "--per"},
        {{"--reference", "100"}, "--set"},
        {{"--remove", "x#"}, "no profile"},
    };
    for (const Row& row : rows) {
        MemoryPreferencesStore preferences;
        const auto result = run(preferences, row.args);
        EXPECT_NE(result.exitCode, 0) << row.args.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains(QLatin1String(row.reason))) << result.err.toStdString();
        EXPECT_TRUE(OutputProfileStore(preferences).profiles().isEmpty());
    }
}

} // namespace
