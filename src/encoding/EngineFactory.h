#pragma once

#include "EncoderEngine.h"
#include "MediaCatalogue.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace joblet {

// Where encoders come from, with the one catalogue of profiles and probes
// they are configured from. The program makes one (the real encoder with
// the profiles of its folders, read once) and hands it to whoever runs jobs
// or reads the catalogue; tests hand over one that makes fakes.
class EngineFactory {
public:
    using Creator = std::function<std::unique_ptr<Encoder>()>;

    // The real encoder with the built-in profiles and those of `profileFolders`.
    explicit EngineFactory(QStringList profileFolders = {});
    EngineFactory(std::shared_ptr<const MediaCatalogue> catalogue, Creator creator);

    // A new engine around a new encoder; throws EncoderFailure
    // (EngineError::NoEncoder unless the creator says otherwise).
    std::unique_ptr<EncoderEngine> create() const;

    const QStringList &profileFolders() const { return m_profileFolders; }
    // The profiles and the probe, for everything short of encoding.
    const MediaCatalogue &catalogue() const { return *m_catalogue; }

    // Encoder threads for every engine made from now on (see
    // EncoderEngine::SetThreadCount); 0, the default, gives each all cores.
    void setThreadCount(int threads) { m_threads = threads; }

private:
    QStringList m_profileFolders;
    std::shared_ptr<const MediaCatalogue> m_catalogue;
    Creator m_creator;
    int m_threads = 0;
};

} // namespace joblet
