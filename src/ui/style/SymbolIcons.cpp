// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/style/SymbolIcons.h"

#include <QDir>
#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>

namespace kavro::ui {

namespace {

const QString kResourceFolder = QStringLiteral(":/kavro/symbols");
// The sizes a desktop asks a tray or button icon for; any other size is drawn on demand.
const QList<QSize> kCommonSizes = {QSize(16, 16), QSize(22, 22), QSize(24, 24),  QSize(32, 32),
                                   QSize(48, 48), QSize(64, 64), QSize(128, 128)};
constexpr double kDisabledOpacity = 0.4;

QColor forMode(const QColor& colour, QIcon::Mode mode) {
    if (mode != QIcon::Disabled) {
        return colour;
    }
    QColor faded = colour;
    faded.setAlphaF(static_cast<float>(colour.alphaF() * kDisabledOpacity));
    return faded;
}

// Draws a symbol at any size, so a tray or a high-density screen gets sharp edges.
class TintedSymbolEngine final : public QIconEngine {
public:
    TintedSymbolEngine(QString symbol, QColor colour) : m_symbol(std::move(symbol)), m_colour(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const int side = std::min(rect.width(), rect.height());
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap drawn = SymbolIcons::pixmap(m_symbol, forMode(m_colour, mode), side, ratio);
        const QRect target(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, side,
                           side);
        painter->drawPixmap(target, drawn);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const int side = std::min(size.width(), size.height());
        return SymbolIcons::pixmap(m_symbol, forMode(m_colour, mode), side, scale);
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return kCommonSizes; }

    QIconEngine* clone() const override { return new TintedSymbolEngine(m_symbol, m_colour); }
    QString key() const override { return QStringLiteral("kavro-symbol"); }

private:
    QString m_symbol;
    QColor m_colour;
};

} // namespace

QString SymbolIcons::resourcePath(const QString& symbol) {
    return kResourceFolder + QLatin1Char('/') + symbol + QStringLiteral(".svg");
}

QStringList SymbolIcons::symbolNames() {
    QStringList names;
    const QStringList files = QDir(kResourceFolder).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files) {
        names.append(file.chopped(4));
    }
    return names;
}

bool SymbolIcons::exists(const QString& symbol) {
    return QFile::exists(resourcePath(symbol));
}

QImage SymbolIcons::image(const QString& symbol, const QColor& colour, int size, qreal devicePixelRatio) {
    const int pixels = std::max(1, static_cast<int>(std::lround(size * devicePixelRatio)));
    QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    if (!exists(symbol)) {
        canvas.setDevicePixelRatio(devicePixelRatio);
        return canvas;
    }
    QSvgRenderer renderer(resourcePath(symbol));
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }

    // Ink is how dark and how opaque a pixel of the drawing is: black is the symbol,
    // white cuts it away, and anti-aliased edges keep their partial coverage.
    QImage tinted = canvas.convertToFormat(QImage::Format_ARGB32);
    const QRgb base = colour.rgb();
    const int alpha = colour.alpha();
    for (int y = 0; y < tinted.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < tinted.width(); ++x) {
            const QRgb pixel = line[x];
            const int ink = qAlpha(pixel) * (255 - qGray(pixel)) / 255;
            line[x] = qRgba(qRed(base), qGreen(base), qBlue(base), ink * alpha / 255);
        }
    }
    tinted.setDevicePixelRatio(devicePixelRatio);
    return tinted;
}

QPixmap SymbolIcons::pixmap(const QString& symbol, const QColor& colour, int size, qreal devicePixelRatio) {
    const QString key = QStringLiteral("kavro-symbol/%1/%2/%3/%4")
                            .arg(symbol)
                            .arg(colour.rgba(), 8, 16, QLatin1Char('0'))
                            .arg(size)
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        return cached;
    }
    cached = QPixmap::fromImage(image(symbol, colour, size, devicePixelRatio));
    QPixmapCache::insert(key, cached);
    return cached;
}

QIcon SymbolIcons::icon(const QString& symbol, const QColor& colour) {
    return QIcon(new TintedSymbolEngine(symbol, colour));
}

} // namespace kavro::ui
