// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>

class QWidget;

namespace kavro::ui {

class PanelWidget;
class PanelWindow;

// Holds the panel and shows it the way the desktop allows:
// - popup: on X11 with a tray, a frameless popup next to the tray icon (or the
//   cursor), inside the screen, closing when the user clicks elsewhere or presses Escape;
// - window: on Wayland with a tray, where a program cannot place a popup, a small
//   titled window that stays open when it loses focus and comes back where it was;
// - standalone: without a tray, an ordinary window titled "Kavro"; closing it asks the
//   program to quit.
class PanelHost : public QObject {
    Q_OBJECT
public:
    enum class Mode { popup, window, standalone };
    static inline const QString kTitle = QStringLiteral("Kavro");
    // A click on the tray icon that closes the popup (the popup closes on any click
    // outside it) arrives as a toggle just after: within this time it must not reopen it.
    static constexpr int kReopenGuardMs = 300;
    // How far from the first click of a double click the second may land.
    static constexpr int kClickSlop = 4;

    // makePanel builds the panel into the window given as its parent.
    explicit PanelHost(const std::function<PanelWidget*(QWidget* parent)>& makePanel,
                       QObject* parent = nullptr);
    ~PanelHost() override;

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);

    // Shows the panel, or hides it when it is showing. The anchor is the tray icon's
    // place on screen; empty when unknown.
    void toggle(const QRect& anchor);
    void show(const QRect& anchor = {});
    void hide();
    bool isVisible() const;

    QWidget& window() const;

signals:
    // Standalone only: the user closed the window.
    void closeRequested();

private:
    friend class PanelWindow;
    void windowHidden();
    void windowCloseRequested();
    // The anchor is the icon, or a pixel at the cursor when the tray does not say.
    void place(const QRect& around);
    bool isSecondHalfOfOpeningDoubleClick(const QPoint& globalPosition) const;

    PanelWindow* m_window;
    PanelWidget* m_panel;
    Mode m_mode = Mode::popup;
    QElapsedTimer m_hiddenAt;
    QElapsedTimer m_shownAt;
    QRect m_anchor;
    // Where the titled window was when it last closed.
    std::optional<QPoint> m_windowPosition;
};

} // namespace kavro::ui
