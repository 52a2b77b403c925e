#pragma once

#include "encoding/LastProfile.h"

#include <QString>

namespace joblet {

class Clock;
class EngineFactory;
class UiServices;

// What the windows take from the program instead of from globals: where
// engines come from, the time of day, the one place dialogs are shown, and
// the files the program keeps beside itself and for the user. Tests hand in fakes.
struct AppContext {
    const EngineFactory &engines;
    const Clock &clock;
    UiServices &dialogs;
    QString markerFile;
    // Where each timed session's report is also kept as a text file.
    QString reportsFolder;
    // The profile chosen last, which jobs added without a choice get.
    LastProfile lastProfile;
};

} // namespace joblet
