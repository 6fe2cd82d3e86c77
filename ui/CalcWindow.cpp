#include "CalcWindow.h"

#include "CalcParPanel.h"
#include "DrawField.h"

#include <QHBoxLayout>
#include <QStatusBar>

CalcWindow::CalcWindow(QWidget *parent) : QMainWindow(parent)
{
    drawField = new CDrawField();
    // The panel connects its zoom buttons to the view, so the view comes first.
    parPanel = new CCalcParPanel(drawField);

    auto *row = new QHBoxLayout();
    auto *central = new QWidget();
    row->addWidget(drawField);
    row->addWidget(parPanel);
    central->setLayout(row);

    statusBar();
    setCentralWidget(central);
    setWindowTitle(tr("3 Body Problem Application"));
    drawField->setMinimumSize(800, 800);
    setGeometry(100, 100, 1000, 800);
}

void CalcWindow::paintEvent(QPaintEvent *) {}
