#pragma once

#include "FakeEncoderEngine.h"
#include "FakeUiServices.h"

#include "FakeClock.h"

#include "ui/AppContext.h"

#include <QTemporaryDir>

// Everything a window takes from the program, faked: engines, dialogs, the
// clock, and a program folder of its own.
struct TestContext {
    FakeUiServices ui;
    FakeEngines engines;
    FakeClock clock;
    QTemporaryDir programFolder;

    joblet::AppContext context()
    {
        return {engines, clock, ui, programFolder.filePath("JobletRunning"), programFolder.filePath("reports"),
                joblet::LastProfile(programFolder.filePath("last-profile"))};
    }
};
