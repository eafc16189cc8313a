// `cmake --install` puts the programs, the desktop entry and the hicolor icons where
// freedesktop desktops look for them, and the desktop entry is valid.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kavro {
namespace {

const QString kApplicationId = QStringLiteral(KAVRO_APPLICATION_ID);

// The width and height a PNG file declares in its header.
std::pair<int, int> pngSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {0, 0};
    }
    const QByteArray header = file.read(24);
    if (header.size() < 24 || !header.startsWith("\x89PNG")) {
        return {0, 0};
    }
    const auto number = [&](int offset) {
        int value = 0;
        for (int index = 0; index < 4; ++index) {
            value = (value << 8) | static_cast<unsigned char>(header[offset + index]);
        }
        return value;
    };
    return {number(16), number(20)};
}

TEST(DesktopInstallTest, InstallsTheProgramsTheDesktopEntryAndEveryIconSize) {
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(KAVRO_BINARY_DIR),
                                            QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const QDir root(prefix.path());
    for (const QString& program : {QStringLiteral("bin/kavro"), QStringLiteral("bin/kavro-cli")}) {
        EXPECT_TRUE(QFileInfo(root.filePath(program)).isExecutable()) << program.toStdString();
    }
    const QString entry = root.filePath(QStringLiteral("share/applications/%1.desktop").arg(kApplicationId));
    ASSERT_TRUE(QFile::exists(entry));
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
        EXPECT_EQ(pngSize(png), std::make_pair(size, size)) << png.toStdString();
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

} // namespace
} // namespace kavro
