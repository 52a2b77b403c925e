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
#include <tuple>

#include <unistd.h>

namespace joblet {

namespace {

class RowChecker {
public:
    RowChecker(const MediaCatalogue &catalogue, QList<RowProblem> &problems)
        : m_catalogue(catalogue)
        , m_profiles(catalogue.profiles())
        , m_problems(problems)
    {
    }

    void check(int row, const BatchItem &item)
    {
        m_row = row;
        const std::optional<SourceInfo> source = probe(item.inputFile);
        const EncoderProfile *profile = findProfile(m_profiles, item.profile);
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
    // A list of many rows usually shares a few names: each is looked for once.
    QString unknownProfile(const QString &name)
    {
        if (const auto it = m_unknown.constFind(name); it != m_unknown.constEnd())
            return *it;
        QStringList names;
        for (const EncoderProfile &p : m_profiles)
            names << p.Name();
        const QStringList near = nearestNames(names, name);
        const QString text = QStringLiteral("no profile is named \"%1\"").arg(name);
        return m_unknown[name] = near.isEmpty() ? text : text + QStringLiteral("; nearest: \"%1\"").arg(near.join(QStringLiteral("\", \"")));
    }

    void add(qint32 number, const QString &text) { m_problems.append({m_row, number, text}); }

    std::optional<SourceInfo> probe(const QString &input)
    {
        if (input.isEmpty()) {
            add(EngineError::NoSource, EngineError::describe(EngineError::NoSource));
            return std::nullopt;
        }
        try {
            return m_catalogue.probe(input);
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

    const MediaCatalogue &m_catalogue;
    const ProfileCollection m_profiles;
    QList<RowProblem> &m_problems;
    QHash<QString, QString> m_unknown; // profile name -> why it is refused
    QHash<QString, int> m_writers; // output place -> the first row writing it
    int m_row = 0;
};

struct Distance {
    int toPrefix = 0; // to the closest beginning of the name
    int toWhole = 0;
    bool operator<(const Distance &o) const { return std::tie(toPrefix, toWhole) < std::tie(o.toPrefix, o.toWhole); }
};

// Edits that turn `typed` into `name`, and into the best beginning of it: a
// name only begun is close to the whole.
Distance distance(const QString &typed, const QString &name)
{
    QList<int> previous(name.size() + 1), row(name.size() + 1);
    std::iota(previous.begin(), previous.end(), 0);
    for (qsizetype i = 1; i <= typed.size(); ++i) {
        row[0] = int(i);
        for (qsizetype j = 1; j <= name.size(); ++j)
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1,
                               previous[j - 1] + (typed[i - 1] == name[j - 1] ? 0 : 1)});
        std::swap(previous, row);
    }
    return {*std::min_element(previous.cbegin(), previous.cend()), previous.last()};
}

} // namespace

QStringList nearestNames(const QStringList &names, const QString &wanted, int most)
{
    const QString key = wanted.toCaseFolded().simplified();
    if (key.isEmpty())
        return {};
    // About one slip in three letters still means the name; a short text
    // has to begin it exactly.
    const int allowed = int(key.size()) / 3;
    QList<std::pair<Distance, qsizetype>> ranked;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString name = names[i].toCaseFolded();
        Distance d = distance(key, name);
        // "flac" for "Audio FLAC lossless": a word of the name, not its start.
        if (key.size() >= 3 && name.contains(key))
            d.toPrefix = 0;
        if (d.toPrefix <= allowed)
            ranked.append({d, i});
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
    std::optional<RowChecker> checker;
    try {
        checker.emplace(engines.catalogue(), problems);
    } catch (const EncoderFailure &failure) {
        // Without an engine no row can run: each says so rather than passing.
        for (int row = 1; row <= items.size(); ++row) {
            if (!isDone(items[row - 1].result))
                problems.append({row, failure.number(), failure.description()});
        }
        return problems;
    }
    for (int row = 1; row <= items.size(); ++row) {
        if (!isDone(items[row - 1].result))
            checker->check(row, items[row - 1]);
    }
    return problems;
}

} // namespace joblet
