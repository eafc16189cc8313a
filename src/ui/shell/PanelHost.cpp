// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/PanelHost.h"

#include "ui/panel/PanelWidget.h"
#include "ui/shell/PopupPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

namespace kavro::ui {

// The top-level widget around the panel; it reports closing and hiding to its host.
class PanelWindow final : public QWidget {
public:
    explicit PanelWindow(PanelHost& host) : m_host(host) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        // The window follows the panel's size as sections come and go.
        layout->setSizeConstraint(QLayout::SetFixedSize);
        setWindowTitle(PanelHost::kTitle);
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (m_host.mode() == PanelHost::Mode::standalone) {
            event->ignore();
            m_host.windowCloseRequested();
            return;
        }
        QWidget::closeEvent(event);
    }
    void hideEvent(QHideEvent* event) override {
        QWidget::hideEvent(event);
        m_host.windowHidden();
    }
    void mousePressEvent(QMouseEvent* event) override {
        // A popup closes on any press outside it, and the second half of a double click
        // on the tray icon would close what the first half opened.
        if (m_host.mode() == PanelHost::Mode::popup && !rect().contains(event->position().toPoint()) &&
            m_host.isSecondHalfOfOpeningDoubleClick(event->globalPosition().toPoint())) {
            event->accept();
            return;
        }
        QWidget::mousePressEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // Without a tray the panel is the program's only window: no key closes it.
        const bool closing = event->matches(QKeySequence::Cancel) ||
                             event->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_W);
        if (closing && m_host.mode() != PanelHost::Mode::standalone) {
            m_host.hide();
            return;
        }
        QWidget::keyPressEvent(event);
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        // A popup that grew must still fit on the screen.
        if (m_host.mode() == PanelHost::Mode::popup && isVisible()) {
            m_host.place(m_host.m_anchor);
        }
    }

private:
    PanelHost& m_host;
};

PanelHost::PanelHost(const std::function<PanelWidget*(QWidget* parent)>& makePanel, QObject* parent)
    : QObject(parent), m_window(new PanelWindow(*this)), m_panel(makePanel(m_window)) {
    m_window->layout()->addWidget(m_panel);
    setMode(Mode::popup);
}

PanelHost::~PanelHost() {
    delete m_window;
}

QWidget& PanelHost::window() const {
    return *m_window;
}

void PanelHost::setMode(Mode mode) {
    const bool wasVisible = m_window->isVisible();
    m_mode = mode;
    switch (mode) {
    case Mode::popup:
        m_window->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
        break;
    case Mode::window:
        m_window->setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
        break;
    case Mode::standalone:
        m_window->setWindowFlags(Qt::Window);
        break;
    }
    // Changing the flags hides the window; a standalone window stays on screen.
    if (wasVisible && mode == Mode::standalone) {
        m_window->show();
    }
}

bool PanelHost::isVisible() const {
    return m_window->isVisible();
}

void PanelHost::toggle(const QRect& anchor) {
    if (m_window->isVisible()) {
        hide();
        return;
    }
    if (m_mode == Mode::popup && m_hiddenAt.isValid() && m_hiddenAt.elapsed() < kReopenGuardMs) {
        return;
    }
    show(anchor);
}

void PanelHost::show(const QRect& anchor) {
    m_anchor = anchor.isValid() && !anchor.isEmpty() ? anchor : QRect(QCursor::pos(), QSize(1, 1));
    m_shownAt.start();
    switch (m_mode) {
    case Mode::popup:
        // A hidden panel does not follow the state: bring it up to date so that the
        // popup is placed by the size it will have.
        m_panel->refreshNow();
        m_window->adjustSize();
        place(m_anchor);
        break;
    case Mode::window:
        // Where the desktop lets a program place its windows, the window comes back
        // where the user left it; elsewhere the compositor decides.
        if (m_windowPosition) {
            m_window->move(*m_windowPosition);
        }
        break;
    case Mode::standalone:
        break;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PanelHost::hide() {
    m_window->hide();
}

void PanelHost::windowHidden() {
    m_hiddenAt.start();
    if (m_mode == Mode::window) {
        m_windowPosition = m_window->pos();
    }
}

void PanelHost::windowCloseRequested() {
    emit closeRequested();
}

bool PanelHost::isSecondHalfOfOpeningDoubleClick(const QPoint& globalPosition) const {
    return m_shownAt.isValid() && m_shownAt.elapsed() < QApplication::doubleClickInterval() &&
           m_anchor.adjusted(-kClickSlop, -kClickSlop, kClickSlop, kClickSlop).contains(globalPosition);
}

void PanelHost::place(const QRect& around) {
    QScreen* screen = QGuiApplication::screenAt(around.center());
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (!screen) {
        return;
    }
    m_window->move(popupPosition(around, m_window->size(), screen->availableGeometry()));
}

} // namespace kavro::ui
