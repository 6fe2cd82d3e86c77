// The form: scheme, run parameters, "update", zoom, and the results.
#ifndef CALCPARPANEL_H
#define CALCPARPANEL_H

#include <QWidget>

class CCalcEngine;
class CThreeBodyEuler;
class CThreeBodyRK2;
class CThreeBodyRK4;
class CDrawField;
class QComboBox;
class QLineEdit;
class QPushButton;

class CCalcParPanel : public QWidget {
    Q_OBJECT

public:
    explicit CCalcParPanel(CDrawField *view, QWidget *parent = nullptr);

    void init();
    void updateParam();
    void updateAMInfo();

    // Non-owning; the start-up sequence assigns them before the window shows.
    CCalcEngine *currentEngine = nullptr;
    CThreeBodyEuler *euler = nullptr;
    CThreeBodyRK2 *rk2 = nullptr;
    CThreeBodyRK4 *rk4 = nullptr;

public slots:
    void simUpdate();

private slots:
    void changeSolver(int id);

private:
    QComboBox *solverCombo = nullptr;
    QLineEdit *nstepEdit = nullptr;
    QLineEdit *xp3Edit = nullptr;
    QLineEdit *factorEdit = nullptr;
    QLineEdit *starEdit = nullptr;
    QLineEdit *planet1Edit = nullptr;
    QLineEdit *planet2Edit = nullptr;
    QLineEdit *totalEdit = nullptr;
    QPushButton *zoomInButton = nullptr;
    QPushButton *zoomOutButton = nullptr;
    QPushButton *updateButton = nullptr;
    CDrawField *drawField = nullptr;
};

#endif
