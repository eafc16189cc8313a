// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistorySessionRow.h"

#include <QWidget>

class QPushButton;
class QToolButton;

namespace kavro::ui {

class SymbolLabel;

// One completed session in the history window's list. Left: the workstation, the time
// range and duration, the peak badges. Right: the day's dose up to this session in its
// band colour, the session's own dose and its levels. A trash button asks, in the row,
// whether to delete it; only "Delete" deletes.
class SessionRowWidget : public QWidget {
    Q_OBJECT
public:
    // The words of the question that deleting asks.
    struct Question {
        QString text; // "Delete session?"
        QString cancel;
        QString confirm;
        friend bool operator==(const Question&, const Question&) = default;
    };

    explicit SessionRowWidget(QWidget* parent = nullptr);

    // `divided` draws a rule above the row (every row of a day but its first).
    void setRow(const HistorySessionRow& row, bool confirming, const Question& question, bool divided);
    const HistorySessionRow& row() const { return m_row; }
    bool isConfirming() const { return m_confirming; }

    QSize sizeHint() const override;

signals:
    void deleteAsked(const QUuid& id);
    void deleteCancelled();
    void deleteConfirmed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Fonts {
        QFont name;
        QFont caption;
        QFont small;
    };
    Fonts fonts() const;
    int leftHeight() const;
    int rightHeight() const;
    int contentHeight() const;
    int rightColumnWidth() const;
    void buildConfirmation();
    void placeChildren();
    void tint();

    HistorySessionRow m_row;
    bool m_confirming = false;
    bool m_divided = false;
    Question m_question;
    QToolButton* m_trash = nullptr;
    QWidget* m_confirmation = nullptr;
    SymbolLabel* m_questionLabel = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_confirm = nullptr;
};

} // namespace kavro::ui
