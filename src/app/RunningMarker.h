#pragma once

#include <QDateTime>
#include <QString>

namespace joblet {

// The marker of the running instance, made once the window toolkit is up:
// a start that fails before (no display) leaves none. One this instance made
// goes with it however the start ends; the window's close deletes it anyway.
class RunningMarker {
public:
    RunningMarker(QString path, const QDateTime &now);
    ~RunningMarker();
    RunningMarker(const RunningMarker &) = delete;
    RunningMarker &operator=(const RunningMarker &) = delete;

    bool madeHere() const { return m_madeHere; }

private:
    QString m_path;
    bool m_madeHere = false;
};

} // namespace joblet
