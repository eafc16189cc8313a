// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace kavro::ui {

// One of the program's own windows (History, Settings): made on first use around the
// content its factory builds, and from then on the same window, brought to the front
// and activated each time it is opened. Closing it only hides it, so it reopens with
// the size and place the user gave it. Escape and Ctrl+W close it.
class WindowHost : public QObject {
    Q_OBJECT
public:
    struct Description {
        QString title;
        QSize firstSize;
        QSize minimumSize;
    };
    // Builds the window's content into the window given as its parent.
    using ContentFactory = std::function<QWidget*(QWidget* parent)>;

    WindowHost(Description description, ContentFactory makeContent, QObject* parent = nullptr);
    ~WindowHost() override;

    void open();
    bool isOpen() const;
    // Null until first opened.
    QWidget* window() const { return m_window.get(); }

private:
    Description m_description;
    ContentFactory m_makeContent;
    std::unique_ptr<QWidget> m_window;
};

} // namespace kavro::ui
