// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/WorkstationList.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class FormSection;

// The DAWs tab: the applications whose launch starts a session, and a form to add the
// user's own. The user's entries can be removed; the built-in ones cannot.
class WorkstationsTab : public QWidget {
    Q_OBJECT
public:
    // The state must outlive the tab.
    explicit WorkstationsTab(core::AppState& state, QWidget* parent = nullptr);

private:
    void showRows();
    void add();
    // Tints a row just added and brings it into view: the list is sorted by name, so a
    // new entry can land out of sight above the form.
    void showAdded(QWidget* row);

    core::AppState& m_state;
    FormSection* m_list = nullptr;
    QList<WorkstationList::Row> m_shownRows;
    QList<QWidget*> m_rowWidgets;
    QLineEdit* m_applicationId = nullptr;
    QLineEdit* m_name = nullptr;
    QPushButton* m_addButton = nullptr;
};

} // namespace kavro::ui
