#pragma once

#include "TestContext.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"
#include "ui/FrmJobletIn.h"

#include <QToolButton>
#include <QtTest>

// The command buttons in their panel order, Stop last.
inline const QStringList panelButtons = {"CmdAdd",  "CmdRemove", "CmdRemoveAll", "CmdClearResults",
                                         "CmdLoad", "CmdSave",   "CmdStart",     "CmdStop"};

// The main window over fakes, loaded as at start-up with the clock at `time`.
struct WindowFixture {
    TestContext tc;
    FakeUiServices &ui = tc.ui;
    FakeEngines &engines = tc.engines;
    joblet::FrmJobletIn window {tc.context()};

    explicit WindowFixture(QTime time = QTime(9, 5, 30))
    {
        tc.clock.fixed = QDateTime(QDate(2024, 3, 14), time);
        window.Form_Load();
    }
    template<typename T = QWidget>
    T *get(const QString &name) const { return window.findChild<T *>(name); }
    QToolButton *button(const QString &name) const { return get<QToolButton>(name); }
    // As the user would, which needs the button enabled.
    void click(const QString &name)
    {
        button(name)->setEnabled(true);
        button(name)->click();
    }
    QStringList enabledButtons() const
    {
        QStringList on;
        for (const QString &name : panelButtons)
            if (button(name)->isEnabled())
                on << name;
        return on;
    }
    void addJobs(const QStringList &inputs)
    {
        for (const QString &input : inputs)
            window.list().append(joblet::BatchItem {input, input + ".wmv", joblet::DefaultProfileName, {}, {}});
    }
    bool showExposed()
    {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
};
