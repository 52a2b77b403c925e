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
// `before` "->": a link to a list.
struct RefuseRow { QString list; QByteArray before; bool force; int exitCode; };
// `args` with "@" for the folder made, `rows` "input>output".
struct MakeRow { QStringList files, args; int exitCode; QStringList rows; };
struct BytesRow { QByteArray before; int row; QString result; QByteArray after; };
}

// The list check and `make` run in this process over files made once: an
// audio-video clip, a tone, a text file, an output folder anyone may write.
class TestBatchCliRules : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_clip;
    QString m_tone;

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
        media.textFile(); // notes.avi
        QVERIFY2(!m_clip.isEmpty() && !m_tone.isEmpty(), qPrintable(media.lastError()));
        for (const char *folder : {"out", "out/sub", "locked"})
            QVERIFY(QDir(m_home.path()).mkpath(QString::fromLatin1(folder)));
        QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("out")), everyone));
        QVERIFY(QFile::setPermissions(m_home.filePath(QStringLiteral("locked")), QFile::Permissions(0x5555)));
    }

    // One fault per row; rows are "input;output;profile;result" ("P": the
    // default profile), `found` what the check says, "row number".
    void listCheck_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("found");
        const auto check = [](const char *name, QStringList rows, const QString &found) {
            for (QString &row : rows)
                row.replace(QStringLiteral(";P;"), u';' + DefaultProfileName + u';');
            QTest::newRow(name) << rows << found;
        };
        check("nothing wrong", {"@clip.avi;@out/a.wmv;P;"}, "");
        check("a Done row is not checked", {"@gone.avi;@gone/a.mp4;Nope;Done"}, "");
        check("input missing", {"@gone.avi;@out/a.wmv;P;"}, "1 Error:80070002");
        check("input not media", {"@notes.avi;@out/a.wmv;P;"}, "1 Error:C00D1B71");
        check("profile unknown", {"@clip.avi;@out/a.wmv;Nope;"}, "1 Error:A04B0003");
        check("output folder missing", {"@clip.avi;@gone/a.wmv;P;"}, "1 Error:80070003");
        check("output folder not writable", {"@clip.avi;@locked/a.wmv;P;"}, "1 Error:80070005");
        check("output a folder", {"@clip.avi;@out/sub;P;"}, "1 Error:A04B0011");
        check("output is the input, spelt otherwise", {"@clip.avi;@out/../clip.avi;P;"}, "1 Error:A04B0006");
        check("two rows, one output",
              {"@clip.avi;@out/a.wmv;P;", "@tone.wav;@out/sub/../a.wmv;P;", "@clip.avi;@out/a.wmv;P;Done"},
              "2 Error:A04B0014");
    }
    void listCheck()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, found);
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
            if (got.join(u' ') != found)
                qWarning() << "found" << got;
            return got.join(u' ') == found;
        }));
    }

    // `make` never replaces what is not a list it can read, nor a list unasked.
    void makeRefuses_data()
    {
        QTest::addColumn<RefuseRow>("row");
        QTest::newRow("media under the list's name") << RefuseRow{"video.jlt", QByteArray("RIFF\0\0\0\0AVI ", 12), true, 2};
        QTest::newRow("a list, unasked") << RefuseRow{"old.jlt", "a;b;c;\r\n", false, 2};
        QTest::newRow("a list, --force") << RefuseRow{"old.jlt", "a;b;c;\r\n", true, 0};
        QTest::newRow("a link to a list") << RefuseRow{"link.jlt", "->", true, 2};
    }
    void makeRefuses()
    {
        QFETCH(RefuseRow, row);
        const auto &[list, before, force, exitCode] = row;
        const QString path = m_home.filePath(QStringLiteral("refuse/") + list);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile::remove(path);
        const QString target = m_home.filePath(QStringLiteral("refuse/target.jlt"));
        QVERIFY(test::writeFile(target, "a;b;c;\r\n"));
        QVERIFY(before == "->" ? QFile::link(target, path) : test::writeFile(path, before));
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
            QCOMPARE(test::readAll(path), before);
    }

    // The rows `make` writes, "input>output" in a folder holding `files`.
    void makeRows_data()
    {
        QTest::addColumn<MakeRow>("row");
        QTest::newRow("ASF: by the streams, in DIR")
            << MakeRow{{"in/clip.avi"}, {"--output-dir", "@out", "@in/clip.avi", "@../../tone.wav", "@../../notes.avi"},
                       1, {"in/clip.avi>out/clip.wmv", "../../tone.wav>out/tone.wma"}};
        QTest::newRow("-r: sorted, outputs, links and hidden files left out")
            << MakeRow{{"w/four.mp4", "w/four_1.mp4", "w/b/a.mp4", "w/.hidden/h.mp4", "w/link.mp4->w/b/a.mp4",
                        "w/linked->w/b", "w/notes.txt"}, {"-r", "--profile", Mp4Profile, "@w"}, 0,
                       {"w/b/a.mp4>w/b/a_1.mp4", "w/four.mp4>w/four_1.mp4"}};
    }
    void makeRows()
    {
        QFETCH(MakeRow, row);
        auto [files, args, exitCode, rows] = row;
        const QString root = folderWith(QStringLiteral("make/") + QTest::currentDataTag(), files);
        QDir(root).mkpath(QStringLiteral("out"));
        const QString list = root + QStringLiteral("/list.jlt");
        for (QString &arg : args)
            arg.replace(u'@', root + u'/');
        QCOMPARE(runCommand(QStringList{"make", list} + args, QString()), exitCode);
        QList<BatchItem> items;
        QVERIFY(BatchListFile::load(list, &items, nullptr));
        QStringList got;
        for (const BatchItem &item : std::as_const(items))
            got << QDir(root).relativeFilePath(item.inputFile) + u'>' + QDir(root).relativeFilePath(item.outputFile);
        QCOMPARE(got.join(u' '), rows.join(u' '));
    }

    // "K/N" with 1 <= K <= N takes row r when (r - 1) mod N = K - 1; anything
    // else is refused with the reason.
    void shards()
    {
        QList<int> taken;
        for (int row = 1; row <= 7; ++row)
            taken << (Shard::parse(QStringLiteral("2/3"), nullptr)->takes(row) ? row : 0);
        QCOMPARE(taken, QList<int>({0, 2, 0, 0, 5, 0, 0}));
        QVERIFY(Shard::parse(QStringLiteral("8/8"), nullptr));
        for (const char *text : {"0/2", "3/2", "2", "/2", "1/", "a/b", "1/0", "-1/2", "", "1/2/3"}) {
            QString error;
            QVERIFY2(!Shard::parse(QString::fromLatin1(text), &error) && !error.isEmpty(), text);
        }
    }

    void mergeConflicts_data()
    {
        QTest::addColumn<QStringList>("results"); // the list's, then each results file's
        QTest::addColumn<QString>("merged");
        QTest::newRow("Done over error") << QStringList{"", "Done", "Error:80070002"} << "Done";
        QTest::newRow("empty gives way") << QStringList{"", "", "Error:A04B000A"} << "Error:A04B000A";
        QTest::newRow("later error wins a tie") << QStringList{"Error:1", "Error:A04B000A"} << "Error:A04B000A";
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

    // Only the Result field changes, and never past a line's limit: breaks,
    // bytes the locale cannot decode, and a last line without a break stay as
    // they were.
    void resultKeepsBytes_data()
    {
        QTest::addColumn<BytesRow>("data");
        QTest::newRow("CR LF") << BytesRow{"a;b;c;\r\nd;e;f;\r\n", 2, "Done", "a;b;c;\r\nd;e;f;Done\r\n"};
        QTest::newRow("no last break") << BytesRow{"a;b;c;\r\nd;e;f;", 2, "Done", "a;b;c;\r\nd;e;f;Done"};
        QTest::newRow("8-bit path") << BytesRow{"caf\xe9.avi;caf\xe9.wmv;P;\r\n", 1, "Done", "caf\xe9.avi;caf\xe9.wmv;P;Done\r\n"};
        QTest::newRow("replaces a Result") << BytesRow{"a;b;c;Error:A04B000A\r\n", 1, "Done", "a;b;c;Done\r\n"};
        const QByteArray longest = QByteArray(BatchListFile::MaxLineChars - 8, 'x') + ";o;p;\r\n";
        QTest::newRow("never makes a line too long") << BytesRow{longest, 1, "Error:A04B000A", longest};
    }
    void resultKeepsBytes()
    {
        QFETCH(BytesRow, data);
        const auto &[before, row, result, after] = data;
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

    // A killed run's journal counts only the whole lines of rows that still
    // hold the same job, folded into the list when the next run opens it.
    // (The leftovers of killed saves: tst_batchcliruns.)
    void journalFoldedIntoTheList()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("l.jlt"));
        QVERIFY(test::writeFile(path, "a;b;c;\r\nd;e;f;\r\ng;h;i;\r\n"));
        const auto list = ListDocument::read(path, nullptr);
        QVERIFY(list);
        const QByteArray key1 = ResultJournal::jobKey("a;b;c;");
        // Row 2's line names another job; row 3's was cut by the kill.
        QVERIFY(test::writeFile(dir.filePath(QStringLiteral(".l.jlt.host-1-0.journal")),
                                "1;" + key1 + ";Done\r\n2;" + key1 + ";Done\r\n3;" + ResultJournal::jobKey("g;h;i;")
                                    + ";Do"));
        QString error;
        ResultStore store(*list, path, QString());
        QVERIFY2(store.open(&error), qPrintable(error));
        QCOMPARE(test::readAll(path), QByteArray("a;b;c;Done\r\nd;e;f;\r\ng;h;i;\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBatchCliRules)
#include "tst_batchclirules.moc"
