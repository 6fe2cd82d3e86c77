// Plot of the sampled positions: one dot per body and sample, star red,
// planet 1 green, planet 2 blue, on a pale background.
#ifndef DRAWFIELD_H
#define DRAWFIELD_H

#include <QWidget>

struct DATA_LIST;

class CDrawField : public QWidget {
    Q_OBJECT

public:
    explicit CDrawField(QWidget *parent = nullptr);

    // The view keeps the pointer, not a copy: the array must outlive it.
    void drawSpot(DATA_LIST *first, int number);

    // Pixel of a coordinate at the given scale, truncated toward zero; one
    // that is not finite or does not fit an int lands far off the widget.
    static int toPixel(int scale, double coordinate);

public slots:
    void zoomIn();
    void zoomOut();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void describe(int samples);

    bool hasData = false;
    int spotCount = 0;
    DATA_LIST *spots = nullptr;
    int scale = 150;
};

#endif
