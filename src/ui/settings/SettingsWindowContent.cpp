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
    : QWidget(parent) {
    setObjectName(QStringLiteral("settings"));
    setAccessibleName(QStringLiteral("Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs);

    m_audio = new AudioTab(state);
    m_safety = new SafetyTab(state);
    const std::array<QWidget*, 4> pages{m_audio, m_safety, new WorkstationsTab(state),
                                        new GeneralTab(state, build)};
    for (std::size_t index = 0; index < pages.size(); ++index) {
        m_tabs->addTab(scrolling(pages[index], kTabLabels[index].title),
                       QLatin1String(kTabLabels[index].title));
    }
    setTabIcons();
}

SettingsWindowContent::~SettingsWindowContent() = default;

QScrollArea* SettingsWindowContent::scrolling(QWidget* page, const char* objectName) {
    auto* area = new QScrollArea(m_tabs);
    area->setObjectName(QLatin1String(objectName) + QStringLiteral("Scroll"));
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidget(page);
    // The page takes the window's own background rather than the scroll area's.
    area->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    area->verticalScrollBar()->setSingleStep(20);
    return area;
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
