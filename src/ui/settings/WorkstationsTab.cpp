// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/WorkstationsTab.h"

#include "core/AppState.h"
#include "services/DAWDetectionService.h"
#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/ButtonLook.h"
#include "ui/widgets/FormSection.h"
#include "ui/widgets/WrappedText.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

namespace kavro::ui {

namespace {

constexpr int kNameFieldWidth = 120;
const char* const kApplicationIdProperty = "kavroApplicationId";
// A row just added is tinted with the accent for a few seconds.
constexpr double kAddedTintOpacity = 0.2;
constexpr std::chrono::milliseconds kAddedTintDuration{4000};

// A tint under a row and its words, painted before them; the row's palette stays as it
// is, so the words keep the colours that read on the group.
class RowTint : public QObject {
public:
    RowTint(const QColor& colour, QWidget* row) : QObject(row), m_colour(colour), m_row(row) {
        row->installEventFilter(this);
        row->update();
    }

    void remove() {
        m_row->removeEventFilter(this);
        m_row->update();
        deleteLater();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_row && event->type() == QEvent::Paint) {
            QPainter painter(m_row);
            painter.fillRect(m_row->rect(), m_colour);
        }
        return false;
    }

private:
    QColor m_colour;
    QWidget* m_row;
};

} // namespace

WorkstationsTab::WorkstationsTab(core::AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    setObjectName(QStringLiteral("workstationsTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 16);
    layout->setSpacing(18);

    m_list = new FormSection(QStringLiteral("Detected DAWs"), this);
    m_list->setObjectName(QStringLiteral("detectedSection"));
    layout->addWidget(m_list);

    auto* form = new FormSection(QStringLiteral("Add Custom DAW"), this);
    form->setObjectName(QStringLiteral("addSection"));
    m_applicationId = new QLineEdit(form);
    m_applicationId->setObjectName(QStringLiteral("applicationIdField"));
    const QString hint = QStringLiteral("A desktop application id (org.example.App) or an executable name");
    // The whole hint is the note below the form; the field shows an example that fits.
    m_applicationId->setPlaceholderText(QStringLiteral("org.example.App or program name"));
    m_applicationId->setAccessibleDescription(hint);
    m_applicationId->setMinimumWidth(240);
    form->addLabelledRow(QStringLiteral("Application ID"), m_applicationId, "applicationIdRow");
    QWidget* nameRow = form->addRowWidget("nameRow");
    m_name = new QLineEdit(nameRow);
    m_name->setObjectName(QStringLiteral("nameField"));
    m_name->setFixedWidth(kNameFieldWidth);
    m_name->setAccessibleName(QStringLiteral("Name"));
    auto* nameLayout = static_cast<QHBoxLayout*>(nameRow->layout());
    auto* nameLabel = new QLabel(QStringLiteral("Name"), nameRow);
    nameLabel->setBuddy(m_name);
    nameLayout->addWidget(nameLabel);
    nameLayout->addStretch(1);
    nameLayout->addWidget(m_name);
    m_addButton = new QPushButton(QStringLiteral("Add"), nameRow);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    nameLayout->addWidget(m_addButton);
    form->addFooter(
        new WrappedText(hint, ColourRole::secondary, styledFont(font(), TextStyle::caption), form));
    layout->addWidget(form);
    layout->addStretch(1);

    const auto updateAdd = [this] {
        m_addButton->setEnabled(WorkstationList::canAdd(m_applicationId->text(), m_name->text()));
    };
    connect(m_applicationId, &QLineEdit::textChanged, this, updateAdd);
    connect(m_name, &QLineEdit::textChanged, this, updateAdd);
    connect(m_addButton, &QPushButton::clicked, this, &WorkstationsTab::add);
    connect(m_name, &QLineEdit::returnPressed, this, &WorkstationsTab::add);
    updateAdd();

    connect(&m_state.dawDetection(), &services::DAWDetectionService::changed, this,
            &WorkstationsTab::showRows);
    showRows();
}

void WorkstationsTab::add() {
    const QString added = m_applicationId->text();
    if (!WorkstationList::add(m_state.dawDetection(), added, m_name->text())) {
        return;
    }
    m_applicationId->clear();
    m_name->clear();
    // The rows were rebuilt as the list changed.
    for (QWidget* row : std::as_const(m_rowWidgets)) {
        if (row->property(kApplicationIdProperty).toString() == added) {
            showAdded(row);
        }
    }
}

void WorkstationsTab::showAdded(QWidget* row) {
    auto* tint = new RowTint(accentColour(palette(), kAddedTintOpacity), row);
    QTimer::singleShot(kAddedTintDuration, tint, [tint] { tint->remove(); });
    // Once the layout has placed the new row.
    QTimer::singleShot(0, row, [row] {
        for (QWidget* ancestor = row->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
            if (auto* area = qobject_cast<QScrollArea*>(ancestor)) {
                area->ensureWidgetVisible(row);
                return;
            }
        }
    });
}

void WorkstationsTab::showRows() {
    const QList<WorkstationList::Row> rows = WorkstationList::rows(m_state.dawDetection());
    if (rows == m_shownRows && !m_rowWidgets.isEmpty()) {
        return;
    }
    qDeleteAll(m_rowWidgets);
    m_rowWidgets.clear();
    for (const auto& entry : rows) {
        QWidget* row = m_list->addRowWidget("workstationRow");
        row->setProperty(kApplicationIdProperty, entry.applicationId);
        auto* words = new QVBoxLayout;
        words->setSpacing(1);
        words->addWidget(
            new WrappedText(entry.name, ColourRole::primary, styledFont(font(), TextStyle::body), row));
        words->addWidget(new WrappedText(entry.applicationId, ColourRole::secondary,
                                         styledFont(font(), TextStyle::caption), row));
        auto* layout = static_cast<QHBoxLayout*>(row->layout());
        layout->addLayout(words, 1);
        if (entry.removable) {
            auto* remove = new QToolButton(row);
            remove->setObjectName(QStringLiteral("removeButton"));
            remove->setAutoRaise(true);
            ButtonLook::apply(remove, QString(), QStringLiteral("minus.circle.fill"),
                              ButtonLook::Tint::redSymbol, QStringLiteral("Remove ") + entry.name);
            const QString id = entry.applicationId;
            connect(remove, &QToolButton::clicked, this, [this, id] {
                // The row goes with the entry once the click has finished.
                QMetaObject::invokeMethod(
                    this, [this, id] { WorkstationList::remove(m_state.dawDetection(), id); },
                    Qt::QueuedConnection);
            });
            layout->addWidget(remove, 0, Qt::AlignVCenter);
        }
        m_rowWidgets.append(row);
    }
    m_shownRows = rows;
}

} // namespace kavro::ui
