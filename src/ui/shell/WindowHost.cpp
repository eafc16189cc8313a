// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/WindowHost.h"

#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

namespace kavro::ui {

namespace {

// Room for the title bar and borders the desktop puts around a window.
constexpr QSize kFrameAllowance{0, 40};

// The window around the content. Escape closes it once nothing inside wanted the key
// (a question in a row, a first tap on the calendar take it first); Ctrl+W closes it
// wherever the focus is.
class HostWindow : public QWidget {
public:
    HostWindow() {
        auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
        connect(close, &QShortcut::activated, this, &QWidget::close);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }
};

} // namespace

WindowHost::WindowHost(Description description, ContentFactory makeContent, QObject* parent)
    : QObject(parent), m_description(std::move(description)), m_makeContent(std::move(makeContent)) {}

WindowHost::~WindowHost() = default;

void WindowHost::open() {
    if (!m_window) {
        m_window = std::make_unique<HostWindow>();
        m_window->setWindowTitle(m_description.title);
        auto* layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(m_makeContent(m_window.get()));
        m_window->setMinimumSize(m_description.minimumSize);
        // A small screen gets what room it has, never less than the minimum.
        const QSize room = m_window->screen()->availableGeometry().size() - kFrameAllowance;
        m_window->resize(m_description.firstSize.boundedTo(room).expandedTo(m_description.minimumSize));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool WindowHost::isOpen() const {
    return m_window && m_window->isVisible();
}

} // namespace kavro::ui
