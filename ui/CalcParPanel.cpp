#include "CalcParPanel.h"

#include "DrawField.h"
#include "three_bodycalc.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Object names let tests and accessibility tools find the fields.
QLineEdit *namedEdit(const char *name)
{
    auto *edit = new QLineEdit();
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QPushButton *namedButton(const QString &text, const char *name)
{
    auto *button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// A row's label with its field as buddy: screen readers announce the field
// by the label's text and report it as labelled by the label.
QLabel *labelFor(const QString &text, QWidget *field)
{
    auto *label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

// Text that does not parse reads as 0. Qt 6 reads text that overflows a
// double ("1e309") as infinity and reports a failure; that reads as 0 too.
double numberOrZero(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0.0;
}

}  // namespace

CCalcParPanel::CCalcParPanel(CDrawField *view, QWidget *parent) : QWidget(parent), drawField(view)
{
    init();
}

void CCalcParPanel::init()
{
    auto *form = new QFormLayout();

    solverCombo = new QComboBox();
    solverCombo->setObjectName(QStringLiteral("solverCombo"));
    solverCombo->insertItem(0, tr("Runge Kutta2"));
    solverCombo->insertItem(1, tr("Euler"));
    solverCombo->insertItem(2, tr("Runge Kutta4"));
    connect(solverCombo, SIGNAL(currentIndexChanged(int)), this, SLOT(changeSolver(int)));
    // The list that drops down is read as a control of its own.
    solverCombo->view()->setAccessibleName(tr("Solver"));

    nstepEdit = namedEdit("nstepEdit");
    xp3Edit = namedEdit("xp3Edit");
    factorEdit = namedEdit("factorEdit");
    starEdit = namedEdit("starEdit");
    planet1Edit = namedEdit("planet1Edit");
    planet2Edit = namedEdit("planet2Edit");
    totalEdit = namedEdit("totalEdit");

    zoomInButton = namedButton(tr("+"), "zoomInButton");
    zoomOutButton = namedButton(tr("-"), "zoomOutButton");
    updateButton = namedButton(tr("update"), "updateButton");
    // "+" and "-" say nothing when read aloud.
    zoomInButton->setAccessibleName(tr("Zoom in"));
    zoomOutButton->setAccessibleName(tr("Zoom out"));

    connect(updateButton, SIGNAL(clicked()), this, SLOT(simUpdate()));
    connect(zoomInButton, SIGNAL(clicked()), drawField, SLOT(zoomIn()));
    connect(zoomOutButton, SIGNAL(clicked()), drawField, SLOT(zoomOut()));

    form->addRow(labelFor(tr("Solver"), solverCombo));
    form->addRow(solverCombo);
    form->addRow(labelFor(tr("Nstep :"), nstepEdit), nstepEdit);
    form->addRow(new QLabel(tr("Initial Position(xp3)")));
    form->addRow(labelFor(tr("xp3 :"), xp3Edit), xp3Edit);
    form->addRow(new QLabel(tr("Factor(rate of mass)")));
    form->addRow(labelFor(tr("Factor :"), factorEdit), factorEdit);
    form->addRow(updateButton);
    form->addRow(new QLabel(QString()));
    form->addRow(new QLabel(tr("Zoom")));
    form->addRow(zoomInButton, zoomOutButton);
    form->addRow(new QLabel(tr("STD Of Conservation Field(anguler momentum)")));
    form->addRow(labelFor(tr("Star :"), starEdit), starEdit);
    form->addRow(labelFor(tr("Planet1 :"), planet1Edit), planet1Edit);
    form->addRow(labelFor(tr("Planet2 :"), planet2Edit), planet2Edit);
    form->addRow(labelFor(tr("Total :"), totalEdit), totalEdit);

    setLayout(form);
}

void CCalcParPanel::simUpdate()
{
    const double factor = numberOrZero(factorEdit->text());
    const double xp3 = numberOrZero(xp3Edit->text());
    CCalcEngine::setParam(xp3, factor);
    CCalcEngine::nstep = nstepEdit->text().toInt(nullptr, 10);
    currentEngine->Calculation();
    updateAMInfo();
    // Hand over this run's own sample count so no stale dot is drawn.
    drawField->drawSpot(CCalcEngine::data_list, CCalcEngine::count);
}

void CCalcParPanel::changeSolver(int id)
{
    if (id == 0)
        currentEngine = rk2;
    else if (id == 1)
        currentEngine = euler;
    else
        currentEngine = rk4;
}

void CCalcParPanel::updateParam()
{
    xp3Edit->setText(QString::number(CCalcEngine::xp[2], 'g', 6));
    factorEdit->setText(QString::number(CCalcEngine::factor, 'g', 6));
    nstepEdit->setText(QString::number(CCalcEngine::nstep, 10));
}

void CCalcParPanel::updateAMInfo()
{
    starEdit->setText(QString::number(CCalcEngine::am_list[0], 'g', 6));
    planet1Edit->setText(QString::number(CCalcEngine::am_list[1], 'g', 6));
    planet2Edit->setText(QString::number(CCalcEngine::am_list[2], 'g', 6));
    totalEdit->setText(QString::number(CCalcEngine::am_list[3], 'g', 6));
}
