// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/BuildInfo.h"

#include <QWidget>

class QScrollArea;
class QTabWidget;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

class AudioTab;
class SafetyTab;

// The content of the settings window: four tabs (Audio, Safety, DAWs, General), each a
// scrolling form of titled sections. Every setting is read from and written to the
// application state at once; the window that holds it decides nothing.
class SettingsWindowContent : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 480;

    enum class Tab { audio, safety, workstations, general };

    // The state must outlive the content.
    explicit SettingsWindowContent(core::AppState& state, const BuildInfo& build = BuildInfo::current(),
                                   QWidget* parent = nullptr);
    ~SettingsWindowContent() override;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    void showTab(Tab tab);
    Tab currentTab() const;
    // Scrolls the current tab until `widget` (inside it) is at the top of the view.
    void scrollTo(QWidget* widget);

    QTabWidget* tabs() const { return m_tabs; }
    // The page of a tab, built on first use.
    QWidget* page(Tab tab);
    AudioTab* audioTab();
    SafetyTab* safetyTab();

protected:
    void changeEvent(QEvent* event) override;

private:
    QScrollArea* scrolling(const char* objectName);
    void setTabIcons();

    core::AppState& m_state;
    const BuildInfo m_build;
    QTabWidget* m_tabs = nullptr;
    AudioTab* m_audio = nullptr;
    SafetyTab* m_safety = nullptr;
};

} // namespace kavro::ui
