// The application's one window: the view on the left, the form on the right.
#ifndef CALCWINDOW_H
#define CALCWINDOW_H

#include <QMainWindow>

class CDrawField;
class CCalcParPanel;

class CalcWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit CalcWindow(QWidget *parent = nullptr);

    // Owned by the window through parent/child; startUp wires the engines in.
    CDrawField *drawField = nullptr;
    CCalcParPanel *parPanel = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
};

#endif
