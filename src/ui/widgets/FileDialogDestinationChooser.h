// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DestinationChooser.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <QFileDialog>

namespace kavro::ui {

// The save dialog: a file dialog over the given window that proposes the suggested name
// in the folder of the last save (the user's documents at first) and offers only files of
// the one type. A name typed without that type's ending gets it. It answers once: with
// the chosen path, or with none when the user cancels or the window goes away.
class FileDialogDestinationChooser final : public QObject, public platform::DestinationChooser {
    Q_OBJECT
public:
    explicit FileDialogDestinationChooser(QWidget* window);

    void chooseDestination(const QString& suggestedName, const QString& suffix, Completion done) override;

    // The dialog while one is open, for tests and hosts; null otherwise.
    QFileDialog* openDialog() const { return m_dialog; }
    // "CSV files (*.csv)".
    static QString nameFilter(const QString& suffix);

private:
    QPointer<QWidget> m_window;
    QPointer<QFileDialog> m_dialog;
    QString m_folder;
};

} // namespace kavro::ui
