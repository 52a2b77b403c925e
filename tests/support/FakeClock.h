#pragma once

#include "schedule/Clock.h"

#include <optional>

// A clock that says what the test sets; the system's time until then.
class FakeClock : public joblet::Clock {
public:
    std::optional<QDateTime> fixed;
    QDateTime now() const override { return fixed ? *fixed : QDateTime::currentDateTime(); }
};
