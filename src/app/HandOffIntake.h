#pragma once

#include "HandOffPoller.h"

#include <QObject>
#include <QString>

#include <chrono>

namespace joblet {

class BatchList;
class RunControl;

// The program's side of the hand-off: owns the file's path and its poller,
// and puts each path it takes into `list` as a job through `control`. It is
// told when a poll is due (the window's Timer3, never during a run) and with
// which profile; it never talks to the window, whose buttons follow the rows.
class HandOffIntake : public QObject {
    Q_OBJECT

public:
    HandOffIntake(QString handOffFile, BatchList &list, RunControl &control,
                  std::chrono::milliseconds quietPeriod = HandOffPoller::DefaultQuietPeriod,
                  QObject *parent = nullptr);

    // One poll of the file; each new job gets `profile`. How many paths it
    // took (a job refused by the list counts too).
    int poll(const QString &profile);

private:
    QString m_file;
    BatchList &m_list;
    RunControl &m_control;
    HandOffPoller m_poller;
};

} // namespace joblet
