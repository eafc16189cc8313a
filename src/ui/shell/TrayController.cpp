// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/TrayController.h"

#include "core/AppState.h"
#include "core/WarningDose.h"
#include "models/Session.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"
#include "ui/style/BandIcons.h"

#include <QApplication>
#include <QMenu>

namespace kavro::ui {

TrayController::TrayController(core::AppState& state, Actions actions, QObject* parent)
    : QObject(parent), m_state(state), m_actions(std::move(actions)), m_menu(std::make_unique<QMenu>()) {
    m_menu->addAction(QStringLiteral("Show Panel"), this, [this] { m_actions.showPanel(); });
    m_sessionAction = m_menu->addAction(QString(), this, [this] {
        if (m_state.sessionManager().currentSession()) {
            m_state.endSession();
        } else {
            m_state.startSession(models::Session::kManualSessionName);
        }
    });
    m_menu->addAction(QStringLiteral("History…"), this, [this] { m_actions.openHistory(); });
    m_menu->addAction(QStringLiteral("Settings…"), this, [this] { m_actions.openSettings(); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit"), this, [this] { m_actions.quit(); });

    m_toolTipTimer.setSingleShot(true);
    connect(&m_toolTipTimer, &QTimer::timeout, this, &TrayController::refresh);
    connect(&m_state, &core::AppState::changed, this, &TrayController::refresh);
    refresh();
}

TrayController::~TrayController() = default;

void TrayController::install() {
    if (m_icon) {
        return;
    }
    m_icon = std::make_unique<QSystemTrayIcon>();
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &TrayController::handleActivation);
    // What was decided before the icon existed is sent now, in full.
    const models::DoseLevel level = m_state.displayDoseLevel();
    m_icon->setIcon(BandIcons::icon(level));
    m_icon->setToolTip(TrayStatus::toolTip(level, m_state.doseCalculator().dosePercentage()));
    m_status = TrayStatus();
    m_status.update(level, m_state.doseCalculator().dosePercentage(), std::chrono::steady_clock::now());
    m_icon->show();
}

QString TrayController::toolTip() const {
    return m_icon ? m_icon->toolTip() : QString();
}

void TrayController::handleActivation(QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Trigger) {
        return;
    }
    if (m_lastTrigger.isValid() && m_lastTrigger.elapsed() < QApplication::doubleClickInterval()) {
        return;
    }
    m_lastTrigger.start();
    m_actions.togglePanel(m_icon ? m_icon->geometry() : QRect());
}

void TrayController::refresh() {
    // Runs ten times a second while measuring: each step below sends nothing unless
    // what it shows has changed.
    m_sessionAction->setText(m_state.sessionManager().currentSession() ? QStringLiteral("End Session")
                                                                       : QStringLiteral("Start Session"));
    apply(m_status.update(m_state.displayDoseLevel(), m_state.warningDose().percentage(),
                          std::chrono::steady_clock::now()));
}

void TrayController::apply(const TrayStatus::Changes& changes) {
    if (changes.icon) {
        m_symbolName = BandIcons::symbolName(*changes.icon);
        if (m_icon) {
            m_icon->setIcon(BandIcons::icon(*changes.icon));
        }
    }
    if (changes.toolTip && m_icon) {
        m_icon->setToolTip(*changes.toolTip);
    }
    if (changes.askAgainIn && !m_toolTipTimer.isActive()) {
        m_toolTipTimer.start(*changes.askAgainIn);
    }
}

} // namespace kavro::ui
