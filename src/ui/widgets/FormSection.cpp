// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/FormSection.h"

#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/WrappedText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

constexpr int kCornerRadius = 8;
constexpr int kRowMarginHorizontal = 12;
constexpr int kRowMarginVertical = 7;
constexpr double kRuleOpacity = 0.14;
// Wide enough for "Input Channel" and "Application ID".
constexpr int kLabelColumnCharacters = 15;

// The rounded group: its background and a rule between each two visible rows.
class FormGroup : public QWidget {
public:
    explicit FormGroup(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius, kCornerRadius);
        painter.fillPath(outline, groupBackground(palette()));
        QColor edge = palette().color(QPalette::WindowText);
        edge.setAlphaF(static_cast<float>(kRuleOpacity * 0.8));
        painter.setPen(QPen(edge, 1.0));
        painter.drawPath(outline);

        QColor rule = palette().color(QPalette::WindowText);
        rule.setAlphaF(static_cast<float>(kRuleOpacity));
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QWidget* previous = nullptr;
        for (QObject* child : children()) {
            auto* row = qobject_cast<QWidget*>(child);
            if (!row || !row->isVisibleTo(this)) {
                continue;
            }
            if (previous) {
                const int y = (previous->geometry().bottom() + row->geometry().top() + 1) / 2;
                painter.fillRect(QRect(kRowMarginHorizontal, y, width() - kRowMarginHorizontal, 1), rule);
            }
            previous = row;
        }
    }
};

} // namespace

FormSection::FormSection(const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    if (!title.isEmpty()) {
        m_heading = new WrappedText(title, ColourRole::primary,
                                    styledFont(font(), TextStyle::body, QFont::DemiBold), this);
        m_heading->setAccessibleName(title);
        layout->addWidget(m_heading);
    }
    m_group = new FormGroup(this);
    m_groupLayout = new QVBoxLayout(m_group);
    m_groupLayout->setContentsMargins(kRowMarginHorizontal, kRowMarginVertical, kRowMarginHorizontal,
                                      kRowMarginVertical);
    m_groupLayout->setSpacing(2 * kRowMarginVertical);
    layout->addWidget(m_group);
    m_footerLayout = new QVBoxLayout;
    m_footerLayout->setContentsMargins(kRowMarginHorizontal / 2, 2, kRowMarginHorizontal / 2, 0);
    m_footerLayout->setSpacing(4);
    layout->addLayout(m_footerLayout);
}

QWidget* FormSection::addRow(QWidget* row) {
    row->setParent(m_group);
    m_groupLayout->addWidget(row);
    return row;
}

QWidget* FormSection::addRowWidget(const char* objectName) {
    auto* row = new QWidget(m_group);
    if (objectName) {
        row->setObjectName(QLatin1String(objectName));
    }
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    return addRow(row);
}

QWidget* FormSection::addLabelledRow(const QString& label, QWidget* control, const char* objectName) {
    QWidget* row = addRowWidget(objectName);
    auto* text = new QLabel(label, row);
    text->setBuddy(control);
    control->setParent(row);
    if (control->accessibleName().isEmpty()) {
        control->setAccessibleName(label);
    }
    auto* layout = static_cast<QHBoxLayout*>(row->layout());
    layout->addWidget(text);
    // A control that wants the width (a picker showing long device names) gets all of
    // it; any other sits at the right edge.
    if (control->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag) {
        // Such controls line up in a column of their own across the form.
        text->setMinimumWidth(text->fontMetrics().averageCharWidth() * kLabelColumnCharacters);
        layout->addWidget(control, 1);
    } else {
        layout->addStretch(1);
        layout->addWidget(control);
    }
    return row;
}

QWidget* FormSection::addFooter(QWidget* widget) {
    widget->setParent(this);
    m_footerLayout->addWidget(widget);
    return widget;
}

} // namespace kavro::ui
