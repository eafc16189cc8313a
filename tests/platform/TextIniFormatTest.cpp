// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/TextIniFormat.h"
#include "platform/qt/SettingsPreferencesStore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <utility>

namespace {

using kavro::platform::SettingsPreferencesStore;
using kavro::platform::TextIniFormat;

class TextIniFormatTest : public ::testing::Test {
protected:
    QString path(const char* name = "Kavro.conf") const { return folder.filePath(name); }

    void writeFile(const QString& filePath, const QByteArray& bytes) const {
        QFile file(filePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    static QByteArray readFile(const QString& filePath) {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir folder;
};

// Values another program or a hand edit may leave. Qt's own INI reader would build an
// object of the type each "@Variant" names; the GUI ones abort a program without a GUI
// application, as this test program is. Here none of them is a value, and each is
// written back as it stood.
TEST_F(TextIniFormatTest, ValuesThatAreNotTextReadAsAbsentAndAreKept) {
    const QByteArray foreign[] = {
        R"(bitmap=@Variant(\0\0\0I\0\0\0\0\0))",          // QBitmap, as the fuzzer found it
        R"(pixmap=@Variant(\0\0\0\x41\0\0\0\0\0))",       // QPixmap
        R"(image=@Variant(\0\0\0\x46\0\0\0\0\x1\0))",     // QImage
        R"(cursor=@Variant(\0\0\0J\0\0\x2))",             // QCursor
        R"(named=@Variant(\0\0\0\x7f\0\0\0\bQPixmap\0))", // a type given by name
        R"(escapedAt=\x40Variant(\0\0\0I\0\0\0\0\0))",    // the '@' itself escaped
        R"(dateTime=@DateTime(\0\0\0\x46\0\0\0\0\x1\0))", // the other streamed form
        R"(truncated=@Variant(\0\0)",
        R"(unknownType=@Variant(\0\0\xff\xfe\0\0\0\0\0))",
        R"(bytes=@ByteArray(s:abc))",
        R"(rect=@Rect(1 2 3 4))",
        R"(list=s:a, s:b)",
    };
    QByteArray file = "[General]\ngood=i:7\n";
    for (const QByteArray& line : foreign) {
        file += line + '\n';
    }
    writeFile(path(), file);

    SettingsPreferencesStore store(path());
    for (const QByteArray& line : foreign) {
        const QString key = QString::fromLatin1(line.first(line.indexOf('=')));
        EXPECT_FALSE(store.contains(key)) << line.constData();
    }
    EXPECT_EQ(store.integer("good"), 7);

    store.setInteger("count", 2);
    ASSERT_EQ(store.flush(), std::nullopt);
    const QByteArray written = readFile(path());
    for (const QByteArray& line : foreign) {
        EXPECT_TRUE(written.contains('\n' + line + '\n')) << line.constData();
    }
    EXPECT_EQ(SettingsPreferencesStore(path()).integer("count"), 2);
}

// Text values as Kavro writes them and as awkward as text gets: a file written by
// QSettings::IniFormat reads the same here, and this format writes the very same bytes.
TEST_F(TextIniFormatTest, TextReadsAndWritesAsQtIniFormatDoes) {
    const std::pair<const char*, QString> values[] = {
        {"micLocationNote",
         SettingsPreferencesStore::encode(QStringLiteral("Studio A, left \"near\" field\n= ; ü"))},
        {"DoseCalculator.accumulatedDose", SettingsPreferencesStore::encode(0.1 + 0.2)},
        {"DoseCalculator.doseDate",
         SettingsPreferencesStore::encode(QDateTime::fromMSecsSinceEpoch(1741944413250))},
        {"calibrationProfiles_v1", SettingsPreferencesStore::encode(QByteArray("[{\"id\":1}]"))},
        {"empty", QString()},
        {"spaces", QStringLiteral("  both ends  ")},
        {"at", QStringLiteral("@Variant(not a variant)")},
        {"twoAt", QStringLiteral("@@x")},
        {"nul", QStringLiteral("s:a") + QChar(0) + QStringLiteral("f")},
        {"control", QStringLiteral("\x01"
                                   "a\tb\\c\r\x7f")},
        {"wide", QStringLiteral("🎧 ½")},
        {"group/key", QStringLiteral("s:nested")},
        {"group/deeper/key", QStringLiteral("s:deeper")},
        {"General/key", QStringLiteral("s:not the general section")},
        {"key with spaces%", QStringLiteral("s:x")},
        {"ключ", QStringLiteral("s:y")},
    };
    {
        QSettings qt(path("qt.conf"), QSettings::IniFormat);
        QSettings own(path("own.conf"), TextIniFormat::format());
        for (const auto& [key, text] : values) {
            qt.setValue(key, text);
            own.setValue(key, text);
        }
    }
    EXPECT_EQ(readFile(path("own.conf")), readFile(path("qt.conf")));

    const QSettings read(path("qt.conf"), TextIniFormat::format());
    EXPECT_EQ(static_cast<std::size_t>(read.allKeys().size()), std::size(values));
    for (const auto& [key, text] : values) {
        const QVariant stored = read.value(key);
        EXPECT_EQ(stored.metaType().id(), QMetaType::QString) << key;
        EXPECT_EQ(stored.toString(), text) << key;
    }
}

// Hand-edited files whose values hold nothing Qt would build objects from: Qt's own INI
// reader is then safe and is the reference for what each value reads as.
TEST_F(TextIniFormatTest, HandEditedFilesReadAsQtReadsThem) {
    const QByteArray files[] = {
        "\xef\xbb\xbf[General]\r\na = s:spaced  \r\nb=\"s:quoted  \"\r\n",
        "; comment\n[General]\nkey=s:value ; trailing comment\n# not a key\nbroken line\n",
        "[General]\nmultiline=\"s:one\ntwo\"\ncontinued=s:one\\\ntwo\n",
        "[General]\nescapes=s:\\a\\x41\\101\\q\\\"\\?\\'x\\x\nhex=s:\\x263A\\0\n",
        "[Section]\nk=s:in section\n[%General]\nk=s:literal general\n[general]\nk=s:root\n",
        "[a%20b]\nc%2Fd\\e=s:escaped key\n[%U0436]\nk=s:wide\n",
        "[General]\nlist=a,b\nquotedComma=\"a,b\"\nmixed=\"a\", b\ndouble=@@at\nnoClose=[x\n",
        "[unclosed\nk=s:after\n=no key\n",
    };
    for (const QByteArray& bytes : files) {
        // Each file under names of its own: Qt keeps a file it has read in memory.
        const auto index = &bytes - files;
        const QString qtPath = folder.filePath(QStringLiteral("qt%1.conf").arg(index));
        const QString ownPath = folder.filePath(QStringLiteral("own%1.conf").arg(index));
        writeFile(qtPath, bytes);
        writeFile(ownPath, bytes);
        const QSettings qt(qtPath, QSettings::IniFormat);
        const QSettings own(ownPath, TextIniFormat::format());
        QStringList qtKeys = qt.allKeys();
        QStringList ownKeys = own.allKeys();
        qtKeys.sort();
        ownKeys.sort();
        EXPECT_EQ(ownKeys, qtKeys) << bytes.constData();
        for (const QString& key : qtKeys) {
            const QVariant expected = qt.value(key);
            const QVariant actual = own.value(key);
            if (expected.metaType().id() == QMetaType::QString) {
                EXPECT_EQ(actual.metaType().id(), QMetaType::QString) << key.toStdString();
                EXPECT_EQ(actual.toString(), expected.toString()) << key.toStdString();
            } else {
                EXPECT_NE(actual.metaType().id(), QMetaType::QString) << key.toStdString();
            }
        }
    }
}

} // namespace
