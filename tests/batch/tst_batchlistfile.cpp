#include "batch/BatchList.h"
#include "batch/BatchListFile.h"

#include "FileHelpers.h"

#include <QtTest>

#include "FileSizeCap.h"

#include <unistd.h>

using namespace joblet;
using namespace joblet::test;
using Items = QList<BatchItem>;

namespace {

BatchItem job(const QString &input, const QString &output, const QString &profile)
{
    return {input, output, profile, {}, {}};
}

// "input|output|profile" per job, which QCOMPARE prints readably; a result that crept in shows.
QStringList rows(const Items &items)
{
    QStringList out;
    for (const BatchItem &item : items)
        out << item.inputFile + u'|' + item.outputFile + u'|' + item.profile
                + (item.result.isEmpty() ? QString() : u'|' + item.result);
    return out;
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// `sizeCap`: bytes a file may grow to, as when the disk fills; 0: none.
struct SaveRow { QString target; bool readOnlyFolder; int jobs, sizeCap; };

} // namespace

class Tst_BatchListFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void saveThenLoad_data()
    {
        QTest::addColumn<Items>("items");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("loaded");
        // No trimming or escaping: a ';' in the input moves the fields on when read back.
        QTest::newRow("fields as they stand") << Items {job(" a;b ", "", "\"p\""), job("  ", " x ", "\t")}
                                              << QByteArray(" a;b ;;\"p\";\r\n  ; x ;\t;\r\n")
                                              << QStringList {" a|b |", "  | x |\t"};
        const Items two {job("D:\\Clips\\talk.avi", "D:\\Clips\\talk.wmv", "Qimto Clipwright 320X240"),
                         job(QString::fromUtf8("/m\xc3\xbcsik/\xe6\x97\xa5.wav"),
                             QString::fromUtf8("/\xf0\x9f\x8e\xb5"), QString::fromUtf8("Profil \xc3\x84"))};
        QTest::newRow("two jobs, non-ASCII in the locale's 8-bit text")
            << two << QByteArray("D:\\Clips\\talk.avi;D:\\Clips\\talk.wmv;Qimto Clipwright 320X240;\r\n"
                                 "/m\xc3\xbcsik/\xe6\x97\xa5.wav;/\xf0\x9f\x8e\xb5;Profil \xc3\x84;\r\n") << rows(two);
    }
    void saveThenLoad()
    {
        QFETCH(Items, items);
        QFETCH(QByteArray, bytes);
        for (BatchItem &item : items) // never stored
            item.result = QStringLiteral("Error:80070002");
        BatchList list;
        QVERIFY(list.append(items));
        QTemporaryDir dir;
        const QString name = QString::fromUtf8("Liste \xc3\xa9.jlt");
        const QString path = dir.filePath(name);
        QVERIFY(writeFile(path, QByteArray(4096, 'x'))); // a longer earlier file leaves no tail

        QVERIFY(BatchListFile::save(list, path, nullptr));
        QCOMPARE(readAll(path), bytes);
        QCOMPARE(entries(dir.path()), QStringList {name});

        Items loaded {job("stale", "stale", "stale")};
        QVERIFY(BatchListFile::load(path, &loaded, nullptr));
        QTEST(rows(loaded), "loaded");
    }

    void read_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("error"); // 0: success
        QTest::addColumn<QStringList>("rows");
        const int bad = BatchListFile::BadLine, tooLong = BatchListFile::LineTooLong;
        const int max = BatchListFile::MaxLines;
        QTest::newRow("more than three fields") << QByteArray("a;b;c;d;e\r\n") << 0 << QStringList {"a|b|c"};
        QTest::newRow("CR LF and LF mixed, no final CR LF")
            << QByteArray("a;b;c;\nd;e;f;\r\ng;h;i;") << 0 << QStringList {"a|b|c", "d|e|f", "g|h|i"};
        QTest::newRow("lone CR is text") << QByteArray("a\rb;c;d\r;\r\n") << 0 << QStringList {"a\rb|c|d\r"};
        QTest::newRow("NUL and invalid bytes are text") << QByteArray("a\0b;\xff;c;\r\n", 10) << 0
            << QStringList {QStringLiteral("a") + QChar(0) + "b|" + QChar(0xFFFD) + "|c"};
        QTest::newRow("bad second line keeps the first")
            << QByteArray("a;b;c;\r\nd;e\r\ng;h;i;\r\n") << bad << QStringList {"a|b|c"};
        QTest::newRow("final empty line keeps every job")
            << QByteArray("a;b;c;\r\nd;e;f;\r\n\r\n") << bad << QStringList {"a|b|c", "d|e|f"};

        const QByteArray longest = QByteArray(BatchListFile::MaxLineChars - 3, 'x') + ";;;";
        QTest::newRow("longest line") << longest + "\r\n" << 0
                                      << QStringList {QString(BatchListFile::MaxLineChars - 3, u'x') + "||"};
        QTest::newRow("line one character too long") << "a;b;c;\r\n" + longest + "y\r\n" << tooLong
                                                      << QStringList {"a|b|c"};
        // A large file without line breaks (a video picked by mistake).
        const QByteArray first = "a;b;c;\r\n";
        QTest::newRow("endless line of invalid bytes")
            << first + QByteArray("\xf8\x88\x80\x80\x80").repeated(600000) << tooLong << QStringList {"a|b|c"};

        const QByteArray full = QByteArray("a;b;c;\r\n").repeated(max);
        QTest::newRow("one line too many") << full + "a;b;c;\r\n" << int(BatchListFile::TooManyLines)
                                           << QStringList(max, "a|b|c");

        // The file reader's 1 MiB blocks: a CR LF split between the first two, an é between the next.
        const int block = 1 << 20;
        QByteArray data;
        QStringList expected;
        const auto add = [&](const QByteArray &input) {
            data += input + ";o;p;\r\n";
            expected << QString::fromUtf8(input) + "|o|p";
        };
        while (data.size() < block - 2000)
            add(QByteArray(990, 'x'));
        add(QByteArray(block - 1 - data.size() - 5, 'c'));
        QCOMPARE(data.indexOf('\n', block - 2), block);
        while (data.size() < 2 * block - 2000)
            add(QByteArray(990, 'y'));
        add(QByteArray(2 * block - 1 - data.size(), 'd') + "\xc3\xa9");
        QCOMPARE(data.at(2 * block), '\xa9');
        add("last");
        QTest::newRow("lines across blocks") << data << 0 << expected;
    }
    void read()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, error);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("l.jlt"), data));
        for (const bool fromFile : {false, true}) { // the file is read in blocks
            Items items;
            BatchListFile::Failure failure;
            QCOMPARE(fromFile ? BatchListFile::load(dir.filePath("l.jlt"), &items, &failure)
                              : BatchListFile::parse(data, &items, &failure), error == 0);
            QCOMPARE(failure.number, error);
            QCOMPARE(::rows(items), rows);
        }
    }

    // A failed save leaves the earlier file as it was and nothing beside it.
    void failedSaveKeepsEarlierFile_data()
    {
        QTest::addColumn<SaveRow>("row");
        QTest::newRow("read-only folder") << SaveRow {"list.jlt", true, 3, 0};
        QTest::newRow("folder is a file") << SaveRow {"list.jlt/new.jlt", false, 1, 0};
        QTest::newRow("write fails") << SaveRow {"list.jlt", false, 2000, 8192};
        QTest::newRow("flush on commit fails") << SaveRow {"list.jlt", false, 2, 16};
    }
    void failedSaveKeepsEarlierFile()
    {
        QFETCH(SaveRow, row);
        const auto &[target, readOnlyFolder, jobs, sizeCap] = row;
        if (readOnlyFolder && ::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QTemporaryDir dir;
        const QByteArray earlier("old;list;P;\r\n");
        QVERIFY(writeFile(dir.filePath("list.jlt"), earlier));
        BatchList list;
        QVERIFY(list.append(Items(jobs, job("/in/a.avi", "/out/a.wmv", "P"))));
        if (readOnlyFolder)
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));

        BatchListFile::Failure failure;
        bool ok = false;
        {
            const FileSizeCap cap {rlim_t(sizeCap)};
            ok = BatchListFile::save(list, dir.filePath(target), &failure);
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QVERIFY(!ok);
        QCOMPARE(failure.number, qint32(BatchListFile::CannotWrite));
        QCOMPARE(readAll(dir.filePath("list.jlt")), earlier);
        QCOMPARE(entries(dir.path()), QStringList {"list.jlt"});
    }

    void rowLimit()
    {
        const auto jobs = [](int n) { return Items(n, job("/in/a.avi", "/out/a.wmv", "P")); };
        BatchList list;
        QVERIFY(!list.append(jobs(BatchList::MaxRows + 1)));
        QVERIFY(list.append(jobs(BatchList::MaxRows - 1)));
        QVERIFY(!list.append(jobs(2))); // all or nothing
        QVERIFY(list.append(job("/in/last.avi", "/out/last.wmv", "P")));
        QCOMPARE(list.count(), BatchList::MaxRows);
    }

};

QTEST_GUILESS_MAIN(Tst_BatchListFile)
#include "tst_batchlistfile.moc"
