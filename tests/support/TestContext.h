#pragma once

#include "FakeEncoderEngine.h"
#include "FakeUiServices.h"

#include "schedule/Clock.h"
#include "ui/AppContext.h"

#include <QTemporaryDir>

// A clock that says what the test sets; the system's time until then.
class FakeClock : public joblet::Clock {
public:
    std::optional<QDateTime> fixed;
    QDateTime now() const override { return fixed ? *fixed : QDateTime::currentDateTime(); }
};

// Everything a window takes from the program, faked: engines, dialogs, the
// clock, and a program folder of its own.
struct TestContext {
    FakeUiServices ui;
    FakeEngines engines;
    FakeClock clock;
    QTemporaryDir programFolder;

    joblet::AppContext context()
    {
        return {engines, clock, ui, programFolder.filePath("JobletRunning"),
                programFolder.filePath("tonvel.lst"), programFolder.filePath("reports")};
    }
};
