// Reads the dots of a trajectory view: as it renders, or as the screen
// shows it once the event loop has painted.
#ifndef VIEW_PROBE_H
#define VIEW_PROBE_H

#include <QColor>
#include <QImage>
#include <QScreen>
#include <QWidget>

namespace viewprobe {

inline const QColor kBackground(250, 250, 200);
inline const QColor kBodyColours[3] = {QColor(250, 50, 50), QColor(50, 250, 50), QColor(50, 50, 250)};

inline QImage render(QWidget &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// What the screen shows: no paint is asked for.
inline QImage onScreen(QWidget &view)
{
    return view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor at(const QImage &image, int x, int y)
{
    return image.valid(x, y) ? image.pixelColor(x, y) : QColor();
}

// A dot drawn at pixel (x, y) is the 4 x 4 square from (x - 2, y - 2).
inline bool hasDot(const QImage &image, int x, int y, const QColor &colour)
{
    for (int dy = -2; dy <= 1; ++dy)
        for (int dx = -2; dx <= 1; ++dx)
            if (at(image, x + dx, y + dy) != colour)
                return false;
    // ... and no wider: the column and row outside are not that colour.
    return at(image, x - 3, y) != colour && at(image, x + 2, y) != colour &&
           at(image, x, y - 3) != colour && at(image, x, y + 2) != colour;
}

inline int countNotBackground(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) != kBackground;
    return n;
}

}  // namespace viewprobe

#endif
