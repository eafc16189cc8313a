// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-render-svg: renders an SVG drawing into square PNG files, for the icon sizes
// desktops look for. Used by the build; not installed.
//
//   kavro-render-svg INPUT.svg SIZE OUTPUT.png [SIZE OUTPUT.png ...]
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    // The drawing has no text, so painting into memory needs no display or fonts.
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() < 3 || arguments.size() % 2 == 0) {
        std::fputs("Usage: kavro-render-svg INPUT.svg SIZE OUTPUT.png [SIZE OUTPUT.png ...]\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(arguments.front());
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kavro-render-svg: %s is not a drawing Qt SVG can read\n",
                     qPrintable(arguments.front()));
        return 1;
    }
    for (qsizetype index = 1; index < arguments.size(); index += 2) {
        bool isNumber = false;
        const int size = arguments.at(index).toInt(&isNumber);
        if (!isNumber || size <= 0) {
            std::fprintf(stderr, "kavro-render-svg: %s is not a size in pixels\n",
                         qPrintable(arguments.at(index)));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString& output = arguments.at(index + 1);
        if (!image.save(output, "PNG")) {
            std::fprintf(stderr, "kavro-render-svg: cannot write %s\n", qPrintable(output));
            return 1;
        }
    }
    return 0;
}
