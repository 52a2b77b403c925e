#include "BatchList.h"

#include "JobResult.h"
#include "ListCheck.h"

#include <stdexcept>

namespace joblet {

namespace {

const QString &columnKey(int column)
{
    static const QString keys[] = {QString(), BatchItem::OutputFileKey, BatchItem::ProfileKey,
                                   BatchItem::ResultKey};
    return keys[column];
}

int columnOf(const QString &key)
{
    for (int column = BatchList::OutputColumn; column < BatchList::ColumnCount; ++column) {
        if (columnKey(column) == key)
            return column;
    }
    return -1;
}

// Keeps a marked row on its job when the row `removed` goes away.
int afterRemoval(int mark, int removed)
{
    if (mark == removed)
        return 0;
    return mark > removed ? mark - 1 : mark;
}

} // namespace

QStringList BatchList::headerKeys()
{
    return {QStringLiteral("Input"), QStringLiteral("Output"), QStringLiteral("Profile"),
            QStringLiteral("Result")};
}

QStringList BatchList::headerTexts()
{
    return {tr("Input File"), tr("Output File"), tr("Profile"), tr("Result")};
}

BatchList::BatchList(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void BatchList::checkNumber(int number) const
{
    if (number < 1 || number > count())
        throw std::out_of_range("batch row number out of range");
}

void BatchList::checkMark(int number) const
{
    if (number != 0)
        checkNumber(number);
}

const BatchItem &BatchList::item(int number) const
{
    checkNumber(number);
    return m_items.at(number - 1);
}

QStringList BatchList::inputFiles() const
{
    QStringList inputs;
    inputs.reserve(m_items.size());
    for (const BatchItem &row : m_items)
        inputs << row.inputFile;
    return inputs;
}

QString BatchList::cell(int number, const QString &key) const
{
    const QString *text = item(number).cell(key);
    if (!text)
        throw std::out_of_range("unknown batch cell key");
    return *text;
}

void BatchList::setCell(int number, const QString &key, const QString &text)
{
    checkNumber(number);
    QString *target = m_items[number - 1].cell(key);
    if (!target)
        throw std::out_of_range("unknown batch cell key");
    if (*target == text)
        return;
    *target = text;
    const QModelIndex at = index(number - 1, columnOf(key));
    Q_EMIT dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole});
}

void BatchList::setResultDetail(int number, const QString &text)
{
    checkNumber(number);
    BatchItem &row = m_items[number - 1];
    if (row.resultDetail == text)
        return;
    row.resultDetail = text;
    const QModelIndex at = index(number - 1, ResultColumn);
    Q_EMIT dataChanged(at, at, {Qt::ToolTipRole});
}

void BatchList::setProblems(const QList<RowProblem> &problems)
{
    QList<QStringList> found(m_items.size());
    for (const RowProblem &p : problems) {
        if (p.row >= 1 && p.row <= count())
            found[p.row - 1] << p.text + QStringLiteral(" (") + resultText(p.number) + u')';
    }
    QStringList texts;
    texts.reserve(found.size());
    for (const QStringList &row : std::as_const(found))
        texts << row.join(u'\n');
    const bool changed = texts != m_problems;
    m_problems = texts;
    if (changed)
        Q_EMIT dataChanged(index(0, 0), index(count() - 1, ColumnCount - 1), {Qt::ToolTipRole});
}

bool BatchList::append(const BatchItem &item)
{
    return append(QList<BatchItem>{item});
}

bool BatchList::append(const QList<BatchItem> &items)
{
    if (items.isEmpty())
        return true;
    if (items.size() > MaxRows - count())
        return false;
    beginInsertRows({}, count(), count() + int(items.size()) - 1);
    m_items.append(items);
    m_problems.resize(m_items.size());
    endInsertRows();
    return true;
}

void BatchList::remove(int number)
{
    checkNumber(number);
    beginRemoveRows({}, number - 1, number - 1);
    m_items.removeAt(number - 1);
    m_problems.removeAt(number - 1);
    endRemoveRows();
    // The marks stay on their jobs; a mark on the removed job is dropped.
    const int selected = afterRemoval(m_selected, number);
    if (selected != m_selected) {
        m_selected = selected;
        Q_EMIT selectedRowChanged(m_selected);
    }
    const int highlighted = afterRemoval(m_highlighted, number);
    if (highlighted != m_highlighted) {
        m_highlighted = highlighted;
        Q_EMIT highlightedRowChanged(m_highlighted);
    }
}

void BatchList::removeAll()
{
    if (m_items.isEmpty())
        return;
    beginResetModel();
    m_items.clear();
    m_problems.clear();
    endResetModel();
    if (m_selected != 0) {
        m_selected = 0;
        Q_EMIT selectedRowChanged(0);
    }
    if (m_highlighted != 0) {
        m_highlighted = 0;
        Q_EMIT highlightedRowChanged(0);
    }
}

void BatchList::clearResults()
{
    if (m_items.isEmpty())
        return;
    for (BatchItem &row : m_items) {
        row.result.clear();
        row.resultDetail.clear();
    }
    Q_EMIT dataChanged(index(0, ResultColumn), index(count() - 1, ResultColumn),
                       {Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole});
}

void BatchList::setSelectedRow(int number)
{
    checkMark(number);
    if (number == m_selected)
        return;
    m_selected = number;
    Q_EMIT selectedRowChanged(number);
}

void BatchList::setHighlightedRow(int number)
{
    checkMark(number);
    if (number == m_highlighted)
        return;
    const int old = m_highlighted;
    m_highlighted = number;
    emitRowChanged(old, {HighlightRole});
    emitRowChanged(number, {HighlightRole});
    Q_EMIT highlightedRowChanged(number);
}

void BatchList::emitRowChanged(int number, const QList<int> &roles)
{
    if (number < 1 || number > count())
        return;
    Q_EMIT dataChanged(index(number - 1, 0), index(number - 1, ColumnCount - 1), roles);
}

int BatchList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int BatchList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const BatchItem &row = m_items.at(index.row());
    const QString &problem = m_problems.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return index.column() == InputColumn ? row.inputFile : *row.cell(columnKey(index.column()));
    case Qt::ToolTipRole: {
        // The view elides long paths; the tip shows them whole. A Result's
        // tip says why the job failed; every cell's, why it would.
        if (index.column() == ResultColumn) {
            const QString &why = row.resultDetail.isEmpty() ? problem : row.resultDetail;
            return why.isEmpty() ? QVariant() : why;
        }
        const QString text = index.column() == InputColumn ? row.inputFile : *row.cell(columnKey(index.column()));
        return problem.isEmpty() ? text : text + u'\n' + problem;
    }
    case HighlightRole:
        return index.row() + 1 == m_highlighted;
    default:
        return {};
    }
}

QVariant BatchList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < ColumnCount)
        return headerTexts().at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace joblet
