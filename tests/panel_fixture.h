// A view, a panel and the three engines, wired by the program's own
// start-up, and what a user does with the form: type, click, read.
#ifndef PANEL_FIXTURE_H
#define PANEL_FIXTURE_H

#include "CalcParPanel.h"
#include "DrawField.h"
#include "StartUp.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QtTest>

#include <cmath>
#include <cstdio>

struct PanelFixture {
    PanelFixture() { view->resize(800, 800); }
    ~PanelFixture()
    {
        delete panel;
        delete view;
    }

    void startUp() { ::startUp(*panel, *view, engines); }

    QLineEdit *edit(const char *name) const { return panel->findChild<QLineEdit *>(name); }
    QComboBox *solver() const { return panel->findChild<QComboBox *>("solverCombo"); }
    void click(const char *button) const
    {
        QTest::mouseClick(panel->findChild<QPushButton *>(button), Qt::LeftButton);
    }

    // Replaces a field's text as a user does: select all, then type; what
    // keys cannot type (QTest types ASCII only) arrives as a paste does.
    void typeInto(const char *name, const QString &text) const
    {
        QLineEdit *e = edit(name);
        e->selectAll();
        e->del();
        bool typeable = text.size() < 64;
        for (QChar c : text)
            typeable = typeable && c.unicode() >= 0x20 && c.unicode() < 0x7f;
        if (typeable)
            QTest::keyClicks(e, text);
        else
            e->insert(text);
    }
    void typeInputs(const QString &nstep, const QString &xp3, const QString &factor) const
    {
        typeInto("nstepEdit", nstep);
        typeInto("xp3Edit", xp3);
        typeInto("factorEdit", factor);
    }

    // Whether the result fields show the engine's statistics as the form
    // must: six significant digits, derived here by the C library's route,
    // not the toolkit's, and "nan" whatever its sign.
    bool resultsShowEngine() const
    {
        const char *names[4] = {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"};
        for (int i = 0; i < 4; ++i) {
            char text[32] = "nan";
            if (!std::isnan(CCalcEngine::am_list[i]))
                std::snprintf(text, sizeof text, "%.6g", CCalcEngine::am_list[i]);
            if (edit(names[i])->text() != QLatin1String(text))
                return false;
        }
        return true;
    }

    SchemeEngines engines;  // constructing them sets the start-up run length
    CDrawField *view = new CDrawField();
    CCalcParPanel *panel = new CCalcParPanel(view);
};

#endif
