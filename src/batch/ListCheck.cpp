#include "ListCheck.h"

#include "JobResult.h"
#include "OutputNaming.h"

#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/SourceGroup.h"
#include "fileio/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <numeric>

#include <unistd.h>

namespace joblet {

namespace {

class RowChecker {
public:
    RowChecker(EncoderEngine &engine, QList<RowProblem> &problems)
        : m_engine(engine)
        , m_problems(problems)
    {
    }

    void check(int row, const BatchItem &item)
    {
        m_row = row;
        const std::optional<SourceInfo> source = probe(item.inputFile);
        const EncoderProfile *profile = findProfile(m_engine.ProfileCollection(), item.profile);
        if (!profile)
            add(EngineError::NoProfile, unknownProfile(item.profile));
        if (source && profile) {
            const ProfileSettings &p = profile->settings();
            if (!(p.hasAudio() && source->audioCount > 0) && !(p.hasVideo() && source->videoCount > 0))
                add(EngineError::NoMatchingStreams, EngineError::describe(EngineError::NoMatchingStreams));
        }
        checkOutput(item, profile);
    }

private:
    QString unknownProfile(const QString &name) const
    {
        QStringList names;
        for (const EncoderProfile &p : m_engine.ProfileCollection())
            names << p.Name();
        const QStringList near = nearestNames(names, name);
        const QString text = QStringLiteral("no profile is named \"%1\"").arg(name);
        return near.isEmpty() ? text : text + QStringLiteral("; nearest: \"%1\"").arg(near.join(QStringLiteral("\", \"")));
    }

    void add(qint32 number, const QString &text) { m_problems.append({m_row, number, text}); }

    std::optional<SourceInfo> probe(const QString &input)
    {
        if (input.isEmpty()) {
            add(EngineError::NoSource, EngineError::describe(EngineError::NoSource));
            return std::nullopt;
        }
        try {
            SourceGroup &group = m_engine.SourceGroupCollection().Item(0);
            group.AutoSetFileSource(input);
            return group.sourceInfo();
        } catch (const EncoderFailure &failure) {
            add(failure.number(), failure.description());
            return std::nullopt;
        }
    }

    void checkOutput(const BatchItem &item, const EncoderProfile *profile)
    {
        const QString &output = item.outputFile;
        if (output.isEmpty()) {
            add(EngineError::NoOutput, EngineError::describe(EngineError::NoOutput));
            return;
        }
        QString what;
        if (existsButNotRegular(output, &what))
            add(EngineError::NotRegularFile, QStringLiteral("the output %1 is %2").arg(output, what));
        if (profile && !profile->settings().acceptsOutput(output))
            add(EngineError::OutputTypeMismatch, outputMismatch(profile->settings(), output));

        const QFileInfo folder(QFileInfo(output).absolutePath());
        if (!folder.isDir())
            add(EngineError::PathNotFound, QStringLiteral("the folder %1 does not exist").arg(folder.filePath()));
        else if (::access(QFile::encodeName(folder.filePath()).constData(), W_OK | X_OK) != 0)
            add(EngineError::AccessDenied, QStringLiteral("the folder %1 is not writable").arg(folder.filePath()));

        const QString place = OutputNaming::place(output);
        if (isSameFile(item.inputFile, output) || place == OutputNaming::place(item.inputFile))
            add(EngineError::OutputIsInput, EngineError::describe(EngineError::OutputIsInput));
        const auto earlier = m_writers.constFind(place);
        if (earlier != m_writers.cend())
            add(EngineError::OutputShared, QStringLiteral("row %1 writes %2 too").arg(*earlier).arg(output));
        else
            m_writers.insert(place, m_row);
    }

    EncoderEngine &m_engine;
    QList<RowProblem> &m_problems;
    QHash<QString, int> m_writers; // output place -> the first row writing it
    int m_row = 0;
};

int editDistance(const QString &a, const QString &b)
{
    QList<int> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

QStringList nearestNames(const QStringList &names, const QString &wanted, int most)
{
    const QString key = wanted.toCaseFolded().simplified();
    if (key.isEmpty())
        return {};
    // A typo costs about one edit in three letters; a prefix is a name begun.
    const int allowed = std::max(2, int(key.size()) / 3);
    QList<std::pair<int, qsizetype>> ranked;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString name = names[i].toCaseFolded();
        const int distance = name.startsWith(key) ? 0 : editDistance(key, name);
        if (distance <= allowed)
            ranked.append({distance, i});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto &x, const auto &y) { return x.first < y.first; });
    QStringList result;
    for (qsizetype i = 0; i < ranked.size() && i < most; ++i)
        result << names[ranked[i].second];
    return result;
}

QList<RowProblem> checkRows(const QList<BatchItem> &items, const EngineFactory &engines)
{
    QList<RowProblem> problems;
    std::unique_ptr<EncoderEngine> engine;
    try {
        engine = engines.create();
        engine->SourceGroupCollection().Add(QStringLiteral("Check"));
    } catch (const EncoderFailure &failure) {
        // Without an engine no row can run: each says so rather than passing.
        for (int row = 1; row <= items.size(); ++row) {
            if (!isDone(items[row - 1].result))
                problems.append({row, failure.number(), failure.description()});
        }
        return problems;
    }
    RowChecker checker(*engine, problems);
    for (int row = 1; row <= items.size(); ++row) {
        if (!isDone(items[row - 1].result))
            checker.check(row, items[row - 1]);
    }
    return problems;
}

} // namespace joblet
