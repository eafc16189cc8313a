// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/SettingsWindowContent.h"

#include "ui/settings/AudioTab.h"
#include "ui/settings/GeneralTab.h"
#include "ui/settings/SafetyTab.h"
#include "ui/settings/WorkstationsTab.h"
#include "ui/style/SymbolIcons.h"
#include "ui/widgets/ButtonLook.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace kavro::ui {

namespace {

struct TabLabel {
    const char* title;
    const char* symbol;
};

constexpr std::array<TabLabel, 4> kTabLabels{{
    {"Audio", "waveform"},
    {"Safety", "shield.checkered"},
    {"DAWs", "pianokeys"},
    {"General", "gear"},
}};

} // namespace

SettingsWindowContent::SettingsWindowContent(core::AppState& state, const BuildInfo& build, QWidget* parent)
    : QWidget(parent), m_state(state), m_build(build) {
    setObjectName(QStringLiteral("settings"));
    setAccessibleName(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs);

    for (const TabLabel& label : kTabLabels) {
        m_tabs->addTab(scrolling(label.title), QLatin1String(label.title));
    }
    setTabIcons();
    // A tab's page is built when it is first shown: opening the window builds only the
    // one it opens on.
    page(Tab::audio);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { page(static_cast<Tab>(index)); });
}

SettingsWindowContent::~SettingsWindowContent() = default;

QScrollArea* SettingsWindowContent::scrolling(const char* objectName) {
    auto* area = new QScrollArea(m_tabs);
    area->setObjectName(QLatin1String(objectName) + QStringLiteral("Scroll"));
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The pages take the window's own background rather than the scroll area's.
    area->viewport()->setAutoFillBackground(false);
    area->verticalScrollBar()->setSingleStep(20);
    return area;
}

QWidget* SettingsWindowContent::page(Tab tab) {
    auto* area = static_cast<QScrollArea*>(m_tabs->widget(static_cast<int>(tab)));
    if (area->widget()) {
        return area->widget();
    }
    QWidget* built = nullptr;
    switch (tab) {
    case Tab::audio:
        built = m_audio = new AudioTab(m_state);
        break;
    case Tab::safety:
        built = m_safety = new SafetyTab(m_state);
        break;
    case Tab::workstations:
        built = new WorkstationsTab(m_state);
        break;
    case Tab::general:
        built = new GeneralTab(m_state, m_build);
        break;
    }
    built->setAutoFillBackground(false);
    area->setWidget(built);
    ButtonLook::refreshAll(built);
    return built;
}

AudioTab* SettingsWindowContent::audioTab() {
    page(Tab::audio);
    return m_audio;
}

SafetyTab* SettingsWindowContent::safetyTab() {
    page(Tab::safety);
    return m_safety;
}

void SettingsWindowContent::setTabIcons() {
    const QColor colour = palette().color(QPalette::WindowText);
    for (int index = 0; index < m_tabs->count(); ++index) {
        m_tabs->setTabIcon(
            index,
            SymbolIcons::icon(QLatin1String(kTabLabels[static_cast<std::size_t>(index)].symbol), colour));
    }
}

void SettingsWindowContent::showTab(Tab tab) {
    page(tab);
    m_tabs->setCurrentIndex(static_cast<int>(tab));
}

SettingsWindowContent::Tab SettingsWindowContent::currentTab() const {
    return static_cast<Tab>(m_tabs->currentIndex());
}

void SettingsWindowContent::scrollTo(QWidget* widget) {
    auto* area = qobject_cast<QScrollArea*>(m_tabs->currentWidget());
    if (!area || !area->widget()->isAncestorOf(widget)) {
        return;
    }
    // The widget's top just below the top of the view, as far as the page allows.
    constexpr int kMargin = 8;
    const int top = widget->mapTo(area->widget(), QPoint(0, 0)).y();
    area->verticalScrollBar()->setValue(top - kMargin);
}

void SettingsWindowContent::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        setTabIcons();
        ButtonLook::refreshAll(this);
    }
    QWidget::changeEvent(event);
}

} // namespace kavro::ui
