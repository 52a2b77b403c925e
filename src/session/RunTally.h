#pragma once

#include <QList>
#include <QString>

namespace joblet {

// How each row of a run ended, told at the run's end: "5 rows: 3 Done now,
// 1 already Done (skipped), 1 failed (row 4 b.mp4)".
class RunTally {
public:
    enum class End { DoneNow, Skipped, Failed, Stopped, NotReached };

    // `rows`: every row the run was over; until told otherwise, one not reached.
    RunTally() = default;
    explicit RunTally(int rows) : m_rows(rows) {}

    // `input` names the row by its file in the text.
    void add(int row, const QString &input, End end);

    int count(End end) const;
    int rows() const { return m_rows; }
    QString text() const;

private:
    struct Row {
        int row;
        QString file;
        End end;
    };
    int m_rows = 0;
    QList<Row> m_ended;
};

} // namespace joblet
