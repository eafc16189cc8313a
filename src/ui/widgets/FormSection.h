// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QVBoxLayout;

namespace kavro::ui {

class WrappedText;

// One titled section of a settings form: a heading, a rounded group of rows with thin
// rules between them, and notes below the group. A row that is hidden takes its rule
// with it.
class FormSection : public QWidget {
    Q_OBJECT
public:
    // An empty title shows no heading.
    explicit FormSection(const QString& title, QWidget* parent = nullptr);

    // Adds a row to the group; the section takes it over.
    QWidget* addRow(QWidget* row);
    // A new row with a horizontal layout, for a label and its control.
    QWidget* addRowWidget(const char* objectName = nullptr);
    // A row with a label on the left and its control on the right; the control is
    // named by the label for screen readers.
    QWidget* addLabelledRow(const QString& label, QWidget* control, const char* objectName = nullptr);
    // Adds a widget below the group.
    QWidget* addFooter(QWidget* widget);

    QWidget* group() const { return m_group; }
    WrappedText* heading() const { return m_heading; }

private:
    WrappedText* m_heading = nullptr;
    QWidget* m_group = nullptr;
    QVBoxLayout* m_groupLayout = nullptr;
    QVBoxLayout* m_footerLayout = nullptr;
};

} // namespace kavro::ui
