#pragma once

#include <QWidget>

namespace kavro::ui {

// A thin horizontal rule between sections, a faint shade of the text colour.
class Divider : public QWidget {
    Q_OBJECT
public:
    explicit Divider(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kavro::ui
