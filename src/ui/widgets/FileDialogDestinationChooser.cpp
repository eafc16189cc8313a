// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/FileDialogDestinationChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>

namespace kavro::ui {

FileDialogDestinationChooser::FileDialogDestinationChooser(QWidget* window)
    : QObject(window), m_window(window),
      m_folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) {}

QString FileDialogDestinationChooser::nameFilter(const QString& suffix) {
    return suffix.toUpper() + QStringLiteral(" files (*.") + suffix + QLatin1Char(')');
}

void FileDialogDestinationChooser::chooseDestination(const QString& suggestedName, const QString& suffix,
                                                     Completion done) {
    if (m_dialog) {
        // One question at a time: the open dialog is brought forward and this request ends.
        m_dialog->raise();
        m_dialog->activateWindow();
        done(std::nullopt);
        return;
    }
    auto* dialog = new QFileDialog(m_window, QStringLiteral("Export CSV"));
    dialog->setObjectName(QStringLiteral("saveDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(nameFilter(suffix));
    dialog->setDefaultSuffix(suffix);
    if (!m_folder.isEmpty() && QDir(m_folder).exists()) {
        dialog->setDirectory(m_folder);
    }
    dialog->selectFile(suggestedName);
    m_dialog = dialog;

    // Both signals come on acceptance (the file first); only the first one answers.
    auto pending = std::make_shared<Completion>(std::move(done));
    connect(dialog, &QFileDialog::fileSelected, this, [this, pending, suffix](const QString& chosen) {
        if (!*pending) {
            return;
        }
        QString path = chosen;
        const QString ending = QLatin1Char('.') + suffix;
        if (!path.endsWith(ending, Qt::CaseInsensitive)) {
            path += ending;
        }
        m_folder = QFileInfo(path).absolutePath();
        std::exchange(*pending, nullptr)(path);
    });
    const auto cancel = [pending] {
        if (*pending) {
            std::exchange(*pending, nullptr)(std::nullopt);
        }
    };
    connect(dialog, &QDialog::finished, this, cancel);
    // A dialog closed with its window never finishes.
    connect(dialog, &QObject::destroyed, cancel);
    dialog->open();
}

} // namespace kavro::ui
