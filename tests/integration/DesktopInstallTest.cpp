// SPDX-License-Identifier: GPL-3.0-or-later
// `cmake --install` puts the programs, the desktop entry and the hicolor icons where
// freedesktop desktops look for them, the desktop entry is valid, and the manual pages
// say what the programs' own help says.
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kavro {
namespace {

const QString kApplicationId = QStringLiteral(KAVRO_APPLICATION_ID);

// What a program prints for these arguments.
QString printed(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The build installed into a temporary prefix, once for all the tests here.
class DesktopInstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = std::make_unique<QTemporaryDir>();
        QProcess install;
        install.start(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(KAVRO_BINARY_DIR),
                                                QStringLiteral("--prefix"), s_prefix->path()});
        install.waitForFinished(60000);
        s_installError =
            install.exitCode() == 0 ? QString() : QString::fromUtf8(install.readAllStandardError());
    }
    static void TearDownTestSuite() { s_prefix.reset(); }

    void SetUp() override { ASSERT_TRUE(s_installError.isEmpty()) << s_installError.toStdString(); }

    static QDir root() { return QDir(s_prefix->path()); }

private:
    static inline std::unique_ptr<QTemporaryDir> s_prefix;
    static inline QString s_installError = QStringLiteral("not installed");
};

// The words of a manual page as a reader sees them, separated by single spaces.
QString manPageWords(const QString& path) {
    const QString source = printed(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    QString text;
    for (QString line : source.split(u'\n')) {
        if (line.startsWith(u'.')) {
            // A request: only its arguments are read.
            line = line.section(u' ', 1).remove(u'"');
        }
        text += line + u' ';
    }
    for (const auto& [escape, character] : {std::pair{"\\fB", ""},
                                            {"\\fI", ""},
                                            {"\\fR", ""},
                                            {"\\&", ""},
                                            {"\\-", "-"},
                                            {"\\(em", "\u2014"},
                                            {"\\e", "\\"}}) {
        text.replace(QString::fromUtf8(escape), QString::fromUtf8(character));
    }
    return text.simplified();
}

TEST_F(DesktopInstallTest, InstallsTheProgramsTheDesktopEntryAndEveryIconSize) {
    const QDir root = DesktopInstallTest::root();
    for (const QString& program : {QStringLiteral("bin/kavro"), QStringLiteral("bin/kavro-cli")}) {
        EXPECT_TRUE(QFileInfo(root.filePath(program)).isExecutable()) << program.toStdString();
    }
    const QString entry = root.filePath(QStringLiteral("share/applications/%1.desktop").arg(kApplicationId));
    QFile entryFile(entry);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const QByteArray text = entryFile.readAll();
    EXPECT_TRUE(text.contains("\nIcon=" + kApplicationId.toUtf8() + '\n'));
    EXPECT_TRUE(text.contains("\nExec=kavro\n"));

    EXPECT_TRUE(QFile::exists(
        root.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kApplicationId))));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString png = root.filePath(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kApplicationId));
        QImageReader image(png);
        EXPECT_EQ(image.format(), "png") << png.toStdString();
        EXPECT_EQ(image.size(), QSize(size, size)) << png.toStdString();
    }

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    QProcess validate;
    validate.start(validator, {entry});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0);
    EXPECT_EQ(validate.readAllStandardOutput() + validate.readAllStandardError(), QByteArray())
        << "no errors, warnings or hints";
}

// Every line of every help text, the commands' own included, is in the page, word for
// word: a page that was not written from this build's help would miss some.
TEST_F(DesktopInstallTest, TheManualPagesSayWhatTheProgramsHelpSays) {
    static const QRegularExpression command(QStringLiteral("^  (\\S+)  "));
    for (const QString& name : {QStringLiteral("kavro"), QStringLiteral("kavro-cli")}) {
        SCOPED_TRACE(name.toStdString());
        const QString program = QStringLiteral(KAVRO_BINARY_DIR "/src/app/") + name;
        const QString page =
            manPageWords(root().filePath(QStringLiteral("share/man/man1/%1.1.gz").arg(name)));
        ASSERT_FALSE(page.isEmpty());
        EXPECT_TRUE(page.contains(printed(program, {QStringLiteral("--version")}).section(u'\n', 0, 0)));

        QStringList helps{printed(program, {QStringLiteral("--help")})};
        const QStringList lines = helps.front().split(u'\n');
        for (qsizetype index = lines.indexOf(QStringLiteral("Commands:")) + 1;
             index > 0 && index < lines.size() && command.match(lines.at(index)).hasMatch(); ++index) {
            helps << printed(program, {command.match(lines.at(index)).captured(1), QStringLiteral("--help")});
        }
        for (const QString& help : helps) {
            ASSERT_FALSE(help.isEmpty());
            for (const QString& line : help.split(u'\n')) {
                const QString words =
                    line.simplified().remove(QRegularExpression(QStringLiteral("^Usage: ")));
                EXPECT_TRUE(page.contains(words)) << words.toStdString();
            }
        }
    }
}

} // namespace
} // namespace kavro
