#pragma once

#include "EncoderEngine.h"

#include <functional>
#include <memory>

namespace joblet {

// The one place engines come from, so tests can hand out fakes.
class EngineFactory {
public:
    using Creator = std::function<std::unique_ptr<EncoderEngine>()>;

    // A new engine with the installed profiles; throws EncoderFailure
    // (EngineError::NoEncoder unless the creator says otherwise).
    static std::unique_ptr<EncoderEngine> create();

    // Replaces the creator; an empty one restores the real engine.
    static void setCreator(Creator creator);
};

} // namespace joblet
