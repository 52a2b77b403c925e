#pragma once

#include "BatchItem.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace joblet {

struct RowProblem;

// The jobs of the batch, the one place they are kept, as a table model for a
// report-style view.
//
// Row numbers: the methods of this class count rows from 1 (row 1 is the
// first job, 0 means "no row"); only the QAbstractItemModel overrides use
// Qt's 0-based rows. A row number outside 1..count() or an unknown cell key
// throws std::out_of_range; nothing else here throws.
//
// Rows are only ever appended at the end; there are at most MaxRows of them.
class BatchList : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int MaxRows = 32767;

    enum Column { InputColumn, OutputColumn, ProfileColumn, ResultColumn, ColumnCount };
    enum Role {
        // bool: whether the row is the highlighted (drop target) row
        HighlightRole = Qt::UserRole + 1,
    };

    // Column keys and header texts in column order.
    static QStringList headerKeys();
    static QStringList headerTexts();

    explicit BatchList(QObject *parent = nullptr);

    int count() const { return int(m_items.size()); }
    const BatchItem &item(int number) const;
    // The input path of every row, in row order.
    QStringList inputFiles() const;
    // Cells by BatchItem key: "OutputFile", "Profile" or "Result".
    QString cell(int number, const QString &key) const;
    void setCell(int number, const QString &key, const QString &text);
    void setResultDetail(int number, const QString &text);
    // The findings of a check of the whole list; rows it does not name have
    // none. One dataChanged for the lot.
    void setProblems(const QList<RowProblem> &problems);

    // False, and nothing added, when the list is full.
    bool append(const BatchItem &item);
    // All or nothing: false, and nothing added, when the items do not all
    // fit. One rowsInserted for the lot.
    bool append(const QList<BatchItem> &items);
    void remove(int number);
    void removeAll();
    // Forgets every Result and its detail, as before a new run.
    void clearResults();

    // Selected and highlighted rows by number, 0 for none. Removing rows keeps
    // them on the same job, or 0 when their job was removed.
    int selectedRow() const { return m_selected; }
    void setSelectedRow(int number);
    int highlightedRow() const { return m_highlighted; }
    void setHighlightedRow(int number);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void selectedRowChanged(int number);
    void highlightedRowChanged(int number);

private:
    void checkNumber(int number) const;
    void checkMark(int number) const;
    void emitRowChanged(int number, const QList<int> &roles);

    QList<BatchItem> m_items;
    // Row by row, what a check found wrong: shown in the tips, never saved.
    QStringList m_problems;
    int m_selected = 0;
    int m_highlighted = 0;
};

} // namespace joblet
