#include "batchcli/BatchCommand.h"
#include "batchcli/ListDocument.h"
#include "batchcli/ResultJournal.h"
#include "batchcli/ResultStore.h"

#include "batch/JobResult.h"
#include "batch/ListCheck.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"

#include "../app/Unprivileged.h"
#include "FileHelpers.h"
#include "MediaFixtures.h"

#include <QtTest>

using namespace joblet;
using namespace joblet::batchcli;

namespace {
const QString Mp4Profile = QStringLiteral("MP4 H.264 720p");
}

// The list check and `make` run in this process over files made once: an
// audio-video clip, a tone, a text file, an output folder anyone may write.
class TestBatchCliRules : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_clip;
    QString m_tone;
    QString m_text;

    // "@x" is x in the test's folder.
    QString at(QString text) const { return text.replace(u'@', m_home.path() + u'/'); }

    // A fresh folder holding `files`: "x.txt" a text, "x->y" a link, any other a copy of the clip.
    QString folderWith(const QString &name, const QStringList &files)
    {
        const QString root = m_home.filePath(name);
        for (const QString &entry : files) {
            const QString file = root + u'/' + entry.section(QStringLiteral("->"), 0, 0);
            QDir().mkpath(QFileInfo(file).path());
            const bool made = entry.contains(QStringLiteral("->"))
                                  ? QFile::link(root + u'/' + entry.section(QStringLiteral("->"), 1), file)
                              : entry.endsWith(QLatin1String(".txt")) ? test::writeFile(file, "no media")
                                                                      : QFile::copy(m_clip, file);
            if (!made)
                qWarning("cannot make %s", qPrintable(file));
        }
        return root;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The check also runs as "nobody", who must find the fixtures.
        const auto everyone = QFile::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(m_home.path(), everyone));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("xdg"))));
        test::MediaFixtures media(m_home.path());
        m_clip = media.audioVideoClip(QStringLiteral("clip.avi"), 0.5);
        m_tone = media.audioOnly(QStringLiteral("tone.wav"), 0.5);
        m_text = media.textFile();
        QVERIFY2(!m_clip.isEmpty() && !m_tone.isEmpty(), qPrintable(media.lastError()));
        for (const char *folder : {"out", "out/sub", "locked"})
            QVERIFY(QDir(m_home.path()).mkpath(QString::fromLatin1(folder)));
        QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("out")), everyone));
        QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("locked")), QFile::Permissions(0x5555)));
    }

    // One fault per row; rows are "input;output;profile;result", `found`
    // what the check says, "row number".
    void listCheck_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("found");
        // "in>out" is a row of the default profile.
        const auto check = [](const char *name, QStringList rows, const QString &found) {
            for (QString &row : rows)
                row.replace(u'>', u';').append(QStringLiteral(";") + DefaultProfileName + u';');
            QTest::newRow(name) << rows << (found.isEmpty() ? QStringList() : QStringList {found});
        };
        check("nothing wrong", {"@clip.avi>@out/a.wmv"}, "");
        QTest::newRow("a Done row is not checked") << QStringList{"@gone.avi;@gone/a.mp4;Nope;Done"} << QStringList{};
        check("input missing", {"@gone.avi>@out/a.wmv"}, "1 Error:80070002");
        check("input not media", {"@notes.avi>@out/a.wmv"}, "1 Error:C00D1B71");
        check("input a folder", {"@out>@out/a.wmv"}, "1 Error:A04B0011");
        QTest::newRow("profile unknown") << QStringList{"@clip.avi;@out/a.wmv;Nope;"} << QStringList{"1 Error:A04B0003"};
        QTest::newRow("profile without the input's streams")
            << QStringList{"@tone.wav;@out/a.wmv;Qimto Video Only 320X240;"} << QStringList{"1 Error:A04B0005"};
        QTest::newRow("output type") << QStringList{"@clip.avi;@out/a.wmv;" + Mp4Profile + ';'}
                                     << QStringList{"1 Error:A04B0012"};
        check("output folder missing", {"@clip.avi>@gone/a.wmv"}, "1 Error:80070003");
        check("output folder not writable", {"@clip.avi>@locked/a.wmv"}, "1 Error:80070005");
        check("output a folder", {"@clip.avi>@out/sub"}, "1 Error:A04B0011");
        check("output empty", {"@clip.avi>"}, "1 Error:A04B0004");
        check("output is the input, spelt otherwise", {"@clip.avi>@out/../clip.avi"}, "1 Error:A04B0006");
        const QString done = "@clip.avi;@out/a.wmv;" + DefaultProfileName + ";Done";
        QTest::newRow("two rows, one output")
            << QStringList{done.chopped(4), "@tone.wav;@out/sub/../a.wmv;" + DefaultProfileName + ';', done}
            << QStringList{"2 Error:A04B0014"};
    }
    void listCheck()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, found);
        const auto doc = ListDocument::fromBytes(at(rows.join(QStringLiteral("\r\n"))).toLocal8Bit(), nullptr);
        QVERIFY(doc);
        QList<BatchItem> items;
        for (int row = 1; row <= doc->count(); ++row)
            items << doc->item(row);
        // A folder's permissions bind everyone but root.
        QVERIFY(holdsWithoutPrivilege([&] {
            QStringList got;
            for (const RowProblem &p : checkRows(items, EngineFactory()))
                got << QStringLiteral("%1 %2").arg(p.row).arg(resultText(p.number));
            if (got != found)
                qWarning() << "found" << got;
            return got == found;
        }));
    }

    // `make` never replaces what is not a list it can read, nor a list unasked.
    void makeRefuses_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("before"); // null: nothing there
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("nothing there") << "new.jlt" << QByteArray() << false << 0;
        QTest::newRow("list name left out") << "clip.mp4" << QByteArray("RIFF\0\0\0\0AVI ") << true << 2;
        QTest::newRow("media under the list's name") << "video.jlt" << QByteArray("RIFF\0\0\0\0AVI ") << true << 2;
        QTest::newRow("another file") << "notes.jlt" << QByteArray("shopping\nmilk\n") << true << 2;
        QTest::newRow("a list, unasked") << "old.jlt" << QByteArray("a;b;c;\r\n") << false << 2;
        QTest::newRow("a list, --force") << "old.jlt" << QByteArray("a;b;c;\r\n") << true << 0;
        QTest::newRow("a link to a list") << "link.jlt" << QByteArray("->") << true << 2;
    }
    void makeRefuses()
    {
        QFETCH(QString, list);
        QFETCH(QByteArray, before);
        QFETCH(bool, force);
        QFETCH(int, exitCode);
        const QString path = m_home.filePath(QStringLiteral("refuse/") + list);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile::remove(path);
        const QString target = m_home.filePath(QStringLiteral("refuse/target.jlt"));
        QVERIFY(test::writeFile(target, "a;b;c;\r\n"));
        if (before == "->")
            QVERIFY(QFile::link(target, path));
        else if (!before.isNull())
            QVERIFY(test::writeFile(path, before));
        QStringList args{"make", path, m_clip};
        if (force)
            args << "--force";
        QCOMPARE(runCommand(args, QString()), exitCode);
        QCOMPARE(test::readAll(target), QByteArray("a;b;c;\r\n"));
        if (exitCode == 0)
            QVERIFY(test::readAll(path).startsWith(m_clip.toLocal8Bit() + ';'));
        else if (before == "->")
            QVERIFY(QFileInfo(path).isSymLink());
        else
            QCOMPARE(test::readAll(path), before.isNull() ? QByteArray("<unreadable>") : before);
    }

    // The rows `make` writes, "input>output" in a folder holding `files`.
    void makeRows_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("args"); // "@" is the folder made
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("rows");
        const QStringList clip{"in/clip.mp4"};
        QTest::newRow("--output-dir: no _1") << clip << QStringList{"--profile", Mp4Profile, "--output-dir", "@out", "@in/clip.mp4"}
                                             << 0 << QStringList{"in/clip.mp4>out/clip.mp4"};
        QTest::newRow("beside the input: _1") << clip << QStringList{"--profile", Mp4Profile, "@in/clip.mp4"} << 0
                                              << QStringList{"in/clip.mp4>in/clip_1.mp4"};
        QTest::newRow("--output-dir of the input: _1")
            << clip << QStringList{"--profile", Mp4Profile, "--output-dir", "@in", "@in/clip.mp4"} << 0
            << QStringList{"in/clip.mp4>in/clip_1.mp4"};
        QTest::newRow("ASF: by the streams, in DIR")
            << QStringList{"in/clip.avi"} << QStringList{"--output-dir", "@out", "@in/clip.avi", "@../../tone.wav", "@../../notes.avi"}
            << 1 << QStringList{"in/clip.avi>out/clip.wmv", "../../tone.wav>out/tone.wma"};
        QTest::newRow("a folder without -r is no media")
            << clip << QStringList{"@in"} << 2 << QStringList{};
        QTest::newRow("-r: sorted, outputs, links and hidden files left out")
            << QStringList{"w/four.mp4", "w/four_1.mp4", "w/b/a.mp4", "w/.hidden/h.mp4", "w/link.mp4->w/b/a.mp4",
                           "w/linked->w/b", "w/notes.txt"}
            << QStringList{"-r", "--profile", Mp4Profile, "@w"} << 0
            << QStringList{"w/b/a.mp4>w/b/a_1.mp4", "w/four.mp4>w/four_1.mp4"};
        QTest::newRow("-r: an earlier ASF output too")
            << QStringList{"w/clip.avi", "w/clip.wmv"} << QStringList{"-r", "@w"} << 0
            << QStringList{"w/clip.avi>w/clip.wmv"};
    }
    void makeRows()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, rows);
        const QString root = folderWith(QStringLiteral("make/") + QTest::currentDataTag(), files);
        QDir(root).mkpath(QStringLiteral("out"));
        const QString list = root + QStringLiteral("/list.jlt");
        for (QString &arg : args)
            arg.replace(u'@', root + u'/');
        QCOMPARE(runCommand(QStringList{"make", list} + args, QString()), exitCode);
        QStringList got;
        QList<BatchItem> items;
        if (exitCode != 2)
            QVERIFY(BatchListFile::load(list, &items, nullptr));
        for (const BatchItem &item : std::as_const(items))
            got << QDir(root).relativeFilePath(item.inputFile) + u'>' + QDir(root).relativeFilePath(item.outputFile);
        QCOMPARE(got.join(u' '), rows.join(u' '));
    }

    // The rows a shard takes, or "refused" with a reason, by the parser and by run alike.
    void shards_data()
    {
        QTest::addColumn<QString>("shard");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("taken");
        QTest::newRow("1/1 takes all") << "1/1" << 5 << "1 2 3 4 5";
        QTest::newRow("1/2 odd") << "1/2" << 5 << "1 3 5";
        QTest::newRow("2/2 even") << "2/2" << 5 << "2 4";
        QTest::newRow("3/8 one row") << "3/8" << 5 << "3";
        QTest::newRow("8/8 past the rows") << "8/8" << 5 << "";
        QTest::newRow("2/3 of 7") << "2/3" << 7 << "2 5";
        for (const char *text : {"0/2", "3/2", "2", "/2", "1/", "a/b", "1/0", "-1/2", "", "1/2/3"})
            QTest::newRow(text) << QString::fromLatin1(text) << 5 << "refused";
    }
    void shards()
    {
        QFETCH(QString, shard);
        QFETCH(int, rows);
        QString error;
        const auto parsed = Shard::parse(shard, &error);
        QStringList taken;
        for (int row = 1; parsed && row <= rows; ++row) {
            if (parsed->takes(row))
                taken << QString::number(row);
        }
        QTEST(parsed ? taken.join(u' ') : QString(error.isEmpty() ? "no reason" : "refused"), "taken");
        RunOptions options;
        QCOMPARE(parseRun({QStringLiteral("--shard"), shard, QStringLiteral("l.jlt")}, &options, &error), bool(parsed));
    }

    void mergeConflicts_data()
    {
        QTest::addColumn<QStringList>("results"); // the list's, then each results file's
        QTest::addColumn<QString>("merged");
        QTest::newRow("Done over error") << QStringList{"", "Done", "Error:80070002"} << "Done";
        QTest::newRow("Done over later error") << QStringList{"Done", "Error:1"} << "Done";
        QTest::newRow("error over empty") << QStringList{"Error:1", ""} << "Error:1";
        QTest::newRow("empty gives way") << QStringList{"", "", "Error:A04B000A"} << "Error:A04B000A";
        QTest::newRow("later error wins a tie") << QStringList{"Error:1", "Error:A04B000A"} << "Error:A04B000A";
        QTest::newRow("nothing anywhere") << QStringList{"", ""} << "";
        QTest::newRow("done is exact") << QStringList{"done", "Error:1"} << "Error:1";
    }
    void mergeConflicts()
    {
        QFETCH(QStringList, results);
        QFETCH(QString, merged);
        QList<ListDocument> docs;
        for (const QString &result : results) {
            auto doc = ListDocument::fromBytes("a.avi;a.wmv;P;" + result.toLatin1() + "\r\nb;c;d;\r\n", nullptr);
            QVERIFY(doc);
            docs << *doc;
        }
        ListDocument list = docs.takeFirst();
        QString error;
        QVERIFY(mergeResults(list, docs, {}, &error));
        QCOMPARE(list.result(1), merged);
        QCOMPARE(list.result(2), QString());
    }

    void mergeRefusesOtherJobs()
    {
        auto list = ListDocument::fromBytes("a;b;c;\r\nd;e;f;\r\n", nullptr);
        auto other = ListDocument::fromBytes("a;b;c;Done\r\nd;e;g;Done\r\n", nullptr);
        QVERIFY(list && other);
        QString error;
        QVERIFY(!mergeResults(*list, {*other}, {QStringLiteral("s.jlt")}, &error));
        QCOMPARE(error, QStringLiteral("s.jlt: line 2: not the same job as in the list"));
    }

    // Only the Result field changes, and never past a line's limit: breaks,
    // bytes the locale cannot decode, and a last line without a break stay as
    // they were.
    void resultKeepsBytes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("CR LF") << QByteArray("a;b;c;\r\nd;e;f;\r\n") << 2 << "Done"
                               << QByteArray("a;b;c;\r\nd;e;f;Done\r\n");
        QTest::newRow("LF only") << QByteArray("a;b;c;\nd;e;f;\n") << 1 << "Error:1"
                                 << QByteArray("a;b;c;Error:1\nd;e;f;\n");
        QTest::newRow("no last break") << QByteArray("a;b;c;\r\nd;e;f;") << 2 << "Done"
                                       << QByteArray("a;b;c;\r\nd;e;f;Done");
        QTest::newRow("8-bit path") << QByteArray("caf\xe9.avi;caf\xe9.wmv;P;\r\n") << 1 << "Done"
                                    << QByteArray("caf\xe9.avi;caf\xe9.wmv;P;Done\r\n");
        QTest::newRow("replaces a Result") << QByteArray("a;b;c;Error:A04B000A\r\n") << 1 << "Done"
                                           << QByteArray("a;b;c;Done\r\n");
        QTest::newRow("clears a Result") << QByteArray("a;b;c;Done\r\n") << 1 << ""
                                         << QByteArray("a;b;c;\r\n");
        const QByteArray longest = QByteArray(BatchListFile::MaxLineChars - 8, 'x') + ";o;p;\r\n";
        QTest::newRow("never makes a line too long") << longest << 1 << "Error:A04B000A" << longest;
    }
    void resultKeepsBytes()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, row);
        QFETCH(QString, result);
        QFETCH(QByteArray, after);
        auto doc = ListDocument::fromBytes(before, nullptr);
        QVERIFY(doc);
        QCOMPARE(doc->bytes(), before);
        QCOMPARE(doc->setResult(row, result), after != before);
        QCOMPARE(doc->bytes(), after);
        // The desktop reader still reads the same jobs.
        QList<BatchItem> items;
        QVERIFY(BatchListFile::parse(after, &items, nullptr));
        QCOMPARE(items.size(), doc->count());
        QCOMPARE(items.at(row - 1).profile, doc->item(row).profile);
    }

    void readFailuresKeepTheirNumbers()
    {
        for (const QByteArray &data : {QByteArray("a;b;c;\r\nd;e\r\n"), QByteArray("a;b;c;\r\n\r\n")}) {
            BatchListFile::Failure failure;
            QVERIFY(!ListDocument::fromBytes(data, &failure));
            QCOMPARE(failure.number, int(BatchListFile::BadLine));
            QCOMPARE(failure.text, QStringLiteral("line 2: fewer than three ';'"));
        }
    }

    // A results file of the same jobs is where a run resumes; another list
    // there is replaced. Results reach the file when the run folds them.
    void resultsFileResumesOrIsReplaced()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.jlt"));
        auto list = ListDocument::fromBytes("a;b;c;\r\nd;e;f;\r\n", nullptr);
        QVERIFY(list);
        QVERIFY(test::writeFile(out, "a;b;c;Done\r\nd;e;f;Error:1\r\n"));
        QString error;
        ResultStore resumed(*list, dir.filePath(QStringLiteral("l.jlt")), out);
        QVERIFY2(resumed.open(&error), qPrintable(error));
        QCOMPARE(resumed.start().result(1), QStringLiteral("Done"));
        QVERIFY2(resumed.record(2, QStringLiteral("Done"), &error), qPrintable(error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Done\r\nd;e;f;Error:1\r\n"));
        QVERIFY2(resumed.fold(&error), qPrintable(error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Done\r\nd;e;f;Done\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.jlt"});

        QVERIFY(test::writeFile(out, "x;y;z;Done\r\n"));
        ResultStore replaced(*list, dir.filePath(QStringLiteral("l.jlt")), out);
        QVERIFY(replaced.open(&error));
        QCOMPARE(replaced.start().result(1), QString());
        QVERIFY(replaced.record(1, QStringLiteral("Error:1"), &error));
        QVERIFY(replaced.fold(&error));
        QCOMPARE(test::readAll(out), QByteArray("a;b;c;Error:1\r\nd;e;f;\r\n"));
    }

    // What a killed run left in its journal counts, but only whole lines of
    // rows that still hold the same job; the next run folds it and removes
    // it with the leftovers of killed saves, and nothing else.
    void journalOfAKilledRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("l.jlt"));
        QVERIFY(test::writeFile(path, "a;b;c;\r\nd;e;f;\r\ng;h;i;\r\n"));
        const auto list = ListDocument::read(path, nullptr);
        QVERIFY(list);
        const QByteArray key1 = ResultJournal::jobKey("a;b;c;");
        const QByteArray key3 = ResultJournal::jobKey("g;h;i;");
        // Row 2's line names another job; row 3's was cut by the kill.
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral(".l.jlt.host-1-0.journal")),
                                "1;" + key1 + ";Done\r\n2;" + key1 + ";Done\r\n3;" + key3 + ";Do"));
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral(".l.jlt.0123456789ab.saving")), "half"));
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral("l.jlt.backup")), "mine"));

        QCOMPARE(readWithJournals(path, nullptr)->result(1), QStringLiteral("Done"));
        ResultStore store(*list, path, QString());
        QString error;
        QVERIFY2(store.open(&error), qPrintable(error));
        QCOMPARE(test::readAll(path), QByteArray("a;b;c;Done\r\nd;e;f;\r\ng;h;i;\r\n"));
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left.size(), 3); // the list, the user's file and the new run's journal
        QVERIFY(left.contains(QStringLiteral("l.jlt.backup")));
        QVERIFY(store.record(3, QStringLiteral("Error:1"), &error));
        // Too long for its line: said, not dropped silently.
        QVERIFY(!store.record(2, QString(BatchListFile::MaxLineChars, u'x'), &error));
        QVERIFY2(error.contains(QStringLiteral("longer than")), qPrintable(error));
        QVERIFY(store.fold(&error));
        QCOMPARE(test::readAll(path), QByteArray("a;b;c;Done\r\nd;e;f;\r\ng;h;i;Error:1\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"l.jlt", "l.jlt.backup"}));
    }
};

QTEST_GUILESS_MAIN(TestBatchCliRules)
#include "tst_batchclirules.moc"
