// SPDX-License-Identifier: GPL-3.0-or-later
// The save dialog behind exports, opened offscreen: what it proposes and offers, and that
// it answers exactly once, with a path of the offered type or with none.
#include "ui/widgets/FileDialogDestinationChooser.h"

#include "support/QtPrinters.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

class FileDialogDestinationChooserTest : public ::testing::Test {
protected:
    void ask() {
        chooser.chooseDestination(QStringLiteral("Kavro Sessions 2025-03-14.csv"), QStringLiteral("csv"),
                                  [this](std::optional<QString> path) { answers.push_back(path); });
        QApplication::processEvents();
    }

    QWidget window;
    FileDialogDestinationChooser chooser{&window};
    std::vector<std::optional<QString>> answers;
    QTemporaryDir folder;
};

TEST_F(FileDialogDestinationChooserTest, ProposesTheNameAndOffersOnlyCsvFiles) {
    ask();
    QFileDialog* dialog = chooser.openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("CSV files (*.csv)")});
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_TRUE(dialog->selectedFiles().front().endsWith(QStringLiteral("/Kavro Sessions 2025-03-14.csv")));
    dialog->reject();
}

TEST_F(FileDialogDestinationChooserTest, AnswersOnceWithTheChosenPathOrNone) {
    struct Case {
        QString typed; // empty: the user cancels
        std::optional<QString> answer;
    };
    const std::vector<Case> cases{
        {"report.csv", folder.filePath("report.csv")},
        {"REPORT.CSV", folder.filePath("REPORT.CSV")},
        // A name typed without the ending (or with another) is given the CSV one.
        {"week 11", folder.filePath("week 11.csv")},
        {"week 11.txt", folder.filePath("week 11.txt.csv")},
        {"", std::nullopt},
    };
    for (const Case& expected : cases) {
        answers.clear();
        ask();
        QFileDialog* dialog = chooser.openDialog();
        ASSERT_NE(dialog, nullptr);
        if (expected.typed.isEmpty()) {
            dialog->reject();
        } else {
            // As a user does: goes to the folder, types a name and saves.
            dialog->setDirectory(folder.path());
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(expected.typed);
            QMetaObject::invokeMethod(dialog, "accept");
        }
        QApplication::processEvents();
        ASSERT_EQ(answers.size(), 1u) << expected.typed.toStdString();
        EXPECT_EQ(answers.front(), expected.answer);
    }
    // The next dialog opens in the folder of the last save.
    ask();
    EXPECT_EQ(QDir(chooser.openDialog()->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
    chooser.openDialog()->reject();
}

TEST_F(FileDialogDestinationChooserTest, ADialogClosedWithItsWindowAnswersNone) {
    auto owner = std::make_unique<QWidget>();
    auto* owned = new FileDialogDestinationChooser(owner.get());
    owned->chooseDestination(QStringLiteral("x.csv"), QStringLiteral("csv"),
                             [this](std::optional<QString> path) { answers.push_back(path); });
    owner.reset();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers.front(), std::nullopt);
}

} // namespace
} // namespace kavro::ui
