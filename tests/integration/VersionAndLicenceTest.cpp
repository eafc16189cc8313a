// SPDX-License-Identifier: GPL-3.0-or-later
// Whoever packages or passes Kavro on learns its licence from the programs themselves:
// both name it in their version and help texts.
#include "support/ParamNames.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace kavro {
namespace {

const QString kLicenceWords = QStringLiteral("GNU GPL, version 3 or later");

struct Asked {
    const char* program;
    const char* option;
};

void PrintTo(const Asked& asked, std::ostream* os) {
    *os << asked.program << " " << asked.option;
}

class VersionAndLicenceTest : public ::testing::TestWithParam<Asked> {};

TEST_P(VersionAndLicenceTest, NamesTheLicenceAndSucceeds) {
    const QString program = QStringLiteral(KAVRO_BINARY_DIR "/src/app/") + QLatin1String(GetParam().program);
    QProcess process;
    // No display: asking for the version or the help must not need one.
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(program, {QLatin1String(GetParam().option)});
    ASSERT_TRUE(process.waitForFinished(10000)) << program.toStdString();
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(output.contains(kLicenceWords)) << output.toStdString();
    if (QLatin1String(GetParam().option) == QLatin1String("--version")) {
        const QRegularExpression firstLine(
            QStringLiteral("^%1 \\d+\\.\\d+\\.\\d+\\n").arg(GetParam().program));
        EXPECT_TRUE(firstLine.match(output).hasMatch()) << output.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, VersionAndLicenceTest,
                         ::testing::Values(Asked{"kavro-cli", "--version"}, Asked{"kavro-cli", "--help"},
                                           Asked{"kavro", "--version"}, Asked{"kavro", "--help"}),
                         kavro::testing::PrintedName());

} // namespace
} // namespace kavro
