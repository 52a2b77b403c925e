#include "batch/BatchList.h"
#include "batch/BatchListFile.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace joblet;

namespace {

BatchItem job(const QString &input, const QString &output, const QString &profile)
{
    BatchItem item;
    item.inputFile = input;
    item.outputFile = output;
    item.profile = profile;
    return item;
}

QList<BatchItem> numberedJobs(int n)
{
    QList<BatchItem> items;
    items.reserve(n);
    for (int i = 1; i <= n; ++i)
        items << job(QStringLiteral("/in/%1.avi").arg(i), QStringLiteral("/out/%1.wmv").arg(i),
                     QStringLiteral("P"));
    return items;
}

// "input|output|profile" per job, which QCOMPARE prints readably.
QStringList rows(const QList<BatchItem> &items)
{
    QStringList out;
    for (const BatchItem &item : items) {
        // A loaded job starts without a result; show one if it crept in.
        out << item.inputFile + u'|' + item.outputFile + u'|' + item.profile
                + (item.result.isEmpty() ? QString() : u'|' + item.result);
    }
    return out;
}

QByteArray lines(int n, const QByteArray &line)
{
    QByteArray data;
    data.reserve(n * line.size());
    for (int i = 0; i < n; ++i)
        data += line;
    return data;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class Tst_BatchListFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- Writing -----------------------------------------------------------

    void writesExactBytes_data()
    {
        QTest::addColumn<QList<BatchItem>>("items");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("empty list, empty file") << QList<BatchItem>() << QByteArray();
        QTest::newRow("one job")
            << QList<BatchItem>{job("D:\\Clips\\talk.avi", "D:\\Clips\\talk.wmv",
                                    "Qimto Clipwright 320X240")}
            << QByteArray("D:\\Clips\\talk.avi;D:\\Clips\\talk.wmv;Qimto Clipwright 320X240;\r\n");
        QTest::newRow("fields as they stand, no trimming or escaping")
            << QList<BatchItem>{job(" a;b ", "", "\"p\""), job("", "", "")}
            << QByteArray(" a;b ;;\"p\";\r\n;;;\r\n");
        QTest::newRow("locale 8-bit text")
            << QList<BatchItem>{job(QString::fromUtf8("/tmp/caf\xc3\xa9.avi"), "o", "p")}
            << QByteArray("/tmp/caf\xc3\xa9.avi;o;p;\r\n");
    }
    void writesExactBytes()
    {
        QFETCH(QList<BatchItem>, items);
        QFETCH(QByteArray, bytes);
        // The result is never stored.
        for (BatchItem &item : items)
            item.result = QStringLiteral("Error:80070002");
        BatchList list;
        QVERIFY(list.append(items));
        QTemporaryDir dir;
        const QString path = dir.filePath("list.jlt");
        // A longer earlier file must not leave a tail behind.
        QVERIFY(writeFile(path, QByteArray(4096, 'x')));

        BatchListFile::Failure failure{99, "stale"};
        QVERIFY(BatchListFile::save(list, path, &failure));
        QCOMPARE(failure.number, 0);
        QCOMPARE(readAll(path), bytes);
        QCOMPARE(entries(dir.path()), QStringList{"list.jlt"});
    }

    void roundTrip_data()
    {
        QTest::addColumn<QList<BatchItem>>("items");
        QTest::newRow("empty") << QList<BatchItem>();
        QTest::newRow("example")
            << QList<BatchItem>{job("D:\\Clips\\talk.avi", "D:\\Clips\\talk.wmv",
                                    "Qimto Clipwright 320X240")};
        QTest::newRow("order kept") << numberedJobs(50);
        QTest::newRow("non-ASCII paths")
            << QList<BatchItem>{job(QString::fromUtf8("/m\xc3\xbcsik/\xe6\x97\xa5\xe6\x9c\xac.wav"),
                                    QString::fromUtf8("/out/\xf0\x9f\x8e\xb5 \xc3\xa9t\xc3\xa9.wma"),
                                    QString::fromUtf8("Profil \xc3\x84"))};
        QTest::newRow("empty and blank fields")
            << QList<BatchItem>{job("", "", ""), job("  ", " x ", "\t")};
        QTest::newRow("full list") << numberedJobs(BatchList::MaxRows);
    }
    void roundTrip()
    {
        QFETCH(QList<BatchItem>, items);
        BatchList list;
        QVERIFY(list.append(items));
        if (list.count() > 0)
            list.setCell(1, BatchItem::ResultKey, QStringLiteral("Done"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromUtf8("Liste \xc3\xa9.jlt"));
        QVERIFY(BatchListFile::save(list, path, nullptr));

        QList<BatchItem> loaded{job("stale", "stale", "stale")};
        BatchListFile::Failure failure{99, "stale"};
        QVERIFY(BatchListFile::load(path, &loaded, &failure));
        QCOMPARE(failure.number, 0);
        QCOMPARE(rows(loaded), rows(items));
    }

    // --- Reading -----------------------------------------------------------

    void parse_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("error"); // 0: success
        QTest::addColumn<QStringList>("rows");

        QTest::newRow("empty file") << QByteArray() << 0 << QStringList();
        QTest::newRow("example")
            << QByteArray("D:\\Clips\\talk.avi;D:\\Clips\\talk.wmv;Qimto Clipwright 320X240;\r\n") << 0
            << QStringList{"D:\\Clips\\talk.avi|D:\\Clips\\talk.wmv|Qimto Clipwright 320X240"};
        QTest::newRow("semicolon in input moves the fields on")
            << QByteArray("a;b;c.wmv;P;\r\n") << 0 << QStringList{"a|b|c.wmv"};
        QTest::newRow("more than three fields")
            << QByteArray("a;b;c;d;e\r\n") << 0 << QStringList{"a|b|c"};
        QTest::newRow("three empty fields") << QByteArray(";;;\r\n") << 0 << QStringList{"||"};
        QTest::newRow("no final CR LF")
            << QByteArray("a;b;c;\r\nd;e;f;") << 0 << QStringList{"a|b|c", "d|e|f"};
        QTest::newRow("LF only") << QByteArray("a;b;c;\nd;e;f;\n") << 0
                                 << QStringList{"a|b|c", "d|e|f"};
        QTest::newRow("CR LF and LF mixed")
            << QByteArray("a;b;c;\nd;e;f;\r\ng;h;i;") << 0 << QStringList{"a|b|c", "d|e|f", "g|h|i"};
        QTest::newRow("CR inside a field is text")
            << QByteArray("a\rb;c;d;\r\n") << 0 << QStringList{"a\rb|c|d"};
        QTest::newRow("CR before the third ';' is text")
            << QByteArray("a;b;c\r;\r\n") << 0 << QStringList{"a|b|c\r"};
        QTest::newRow("NUL and invalid bytes are text")
            << QByteArray("a\0b;\xff;c;\r\n", 10) << 0
            << QStringList{QStringLiteral("a") + QChar(0) + "b|" + QChar(0xFFFD) + "|c"};
        QTest::newRow("malformed second line keeps the first")
            << QByteArray("a;b;c;\r\nd;e\r\ng;h;i;\r\n") << int(BatchListFile::BadLine)
            << QStringList{"a|b|c"};
        QTest::newRow("final empty line keeps every job")
            << QByteArray("a;b;c;\r\nd;e;f;\r\n\r\n") << int(BatchListFile::BadLine)
            << QStringList{"a|b|c", "d|e|f"};
        QTest::newRow("empty line alone") << QByteArray("\r\n") << int(BatchListFile::BadLine)
                                          << QStringList();
        QTest::newRow("bad last line without CR LF")
            << QByteArray("a;b;c;\r\nx;y") << int(BatchListFile::BadLine) << QStringList{"a|b|c"};

        const QByteArray longest = QByteArray(BatchListFile::MaxLineChars - 3, 'x') + ";;;";
        QTest::newRow("longest line") << longest + "\r\n" << 0
                                      << QStringList{QString(longest.size() - 3, u'x') + "||"};
        QTest::newRow("line one character too long")
            << "a;b;c;\r\n" + longest + "y\r\n" << int(BatchListFile::LineTooLong)
            << QStringList{"a|b|c"};
        // Counted in characters, not bytes: 2-byte characters up to the limit.
        const QByteArray wide = lines(BatchListFile::MaxLineChars - 3, "\xc3\xa9") + ";;;";
        QTest::newRow("longest line of 2-byte characters")
            << wide << 0 << QStringList{QString(BatchListFile::MaxLineChars - 3, QChar(0xE9)) + "||"};

        QTest::newRow("as many lines as the list holds")
            << lines(BatchListFile::MaxLines, "a;b;c;\r\n") << 0
            << QStringList(BatchListFile::MaxLines, "a|b|c");
        QTest::newRow("one line more than the list holds")
            << lines(BatchListFile::MaxLines + 1, "a;b;c;\r\n") << int(BatchListFile::TooManyLines)
            << QStringList(BatchListFile::MaxLines, "a|b|c");
        QTest::newRow("the line too many is also too long")
            << lines(BatchListFile::MaxLines, "a;b;c;\r\n") + QByteArray(300000, 'x')
            << int(BatchListFile::TooManyLines) << QStringList(BatchListFile::MaxLines, "a|b|c");
    }
    void parse()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, error);
        QFETCH(QStringList, rows);

        // Straight from memory, and through a file read in blocks.
        QList<BatchItem> items;
        BatchListFile::Failure failure;
        QCOMPARE(BatchListFile::parse(data, &items, &failure), error == 0);
        QCOMPARE(failure.number, error);
        QCOMPARE(::rows(items), rows);

        QTemporaryDir dir;
        const QString path = dir.filePath("l.jlt");
        QVERIFY(writeFile(path, data));
        QCOMPARE(BatchListFile::load(path, &items, &failure), error == 0);
        QCOMPARE(failure.number, error);
        QCOMPARE(::rows(items), rows);
    }

    // Lines that straddle the reader's 1 MiB blocks: a CR LF split between
    // two blocks and a 2-byte character split between two blocks.
    void loadAcrossBlocks()
    {
        const int block = 1 << 20;
        QByteArray data;
        QStringList expected;
        auto add = [&](const QByteArray &input) {
            data += input + ";o;p;\r\n";
            expected << QString::fromUtf8(input) + "|o|p";
        };
        while (data.size() < block - 2000)
            add(QByteArray(990, 'x'));
        add(QByteArray(block - 1 - data.size() - 5, 'c')); // its CR ends block 1
        QCOMPARE(data.indexOf('\n', block - 2), block);
        while (data.size() < 2 * block - 2000)
            add(QByteArray(990, 'y'));
        add(QByteArray(2 * block - 1 - data.size(), 'd') + "\xc3\xa9"); // é split at block 2
        QCOMPARE(data.at(2 * block), char('\xa9'));
        add("last");

        QTemporaryDir dir;
        const QString path = dir.filePath("big.jlt");
        QVERIFY(writeFile(path, data));
        QList<BatchItem> items;
        QVERIFY(BatchListFile::load(path, &items, nullptr));
        QCOMPARE(rows(items), expected);
    }

    // A large file without line breaks (a video picked by mistake) is given
    // up early instead of being buffered whole.
    void loadEndlessLine_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::newRow("ASCII") << QByteArray("abc;");
        QTest::newRow("3-byte characters") << QByteArray("\xe6\x97\xa5");
        QTest::newRow("invalid bytes") << QByteArray("\xf8\x88\x80\x80\x80");
    }
    void loadEndlessLine()
    {
        QFETCH(QByteArray, chunk);
        QTemporaryDir dir;
        const QString path = dir.filePath("endless.jlt");
        QVERIFY(writeFile(path, "a;b;c;\r\n" + lines(3000000 / chunk.size(), chunk)));
        QList<BatchItem> items;
        BatchListFile::Failure failure;
        QVERIFY(!BatchListFile::load(path, &items, &failure));
        QCOMPARE(failure.number, qint32(BatchListFile::LineTooLong));
        QCOMPARE(rows(items), QStringList{"a|b|c"});
    }

    void loadCannotOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.jlt";
        QTest::newRow("folder") << "sub";
    }
    void loadCannotOpen()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QList<BatchItem> items{job("stale", "", "")};
        BatchListFile::Failure failure;
        QVERIFY(!BatchListFile::load(dir.filePath(name), &items, &failure));
        QCOMPARE(failure.number, qint32(BatchListFile::CannotOpen));
        QVERIFY(items.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("missing.jlt")));
    }

    // --- Failed saves keep the earlier file ------------------------------

    void saveIntoReadOnlyFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QTemporaryDir dir;
        const QString path = dir.filePath("list.jlt");
        const QByteArray earlier("old;list;P;\r\n");
        QVERIFY(writeFile(path, earlier));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        BatchList list;
        QVERIFY(list.append(numberedJobs(3)));
        BatchListFile::Failure failure;
        const bool saved = BatchListFile::save(list, path, &failure);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(failure.number, qint32(BatchListFile::CannotWrite));
        QCOMPARE(readAll(path), earlier);
        QCOMPARE(entries(dir.path()), QStringList{"list.jlt"});
    }

    void saveUnderAFile()
    {
        QTemporaryDir dir;
        const QString notFolder = dir.filePath("plain");
        QVERIFY(writeFile(notFolder, "plain"));
        BatchList list;
        QVERIFY(list.append(numberedJobs(1)));
        BatchListFile::Failure failure;
        QVERIFY(!BatchListFile::save(list, notFolder + "/list.jlt", &failure));
        QCOMPARE(failure.number, qint32(BatchListFile::CannotWrite));
        QCOMPARE(readAll(notFolder), QByteArray("plain"));
        QCOMPARE(entries(dir.path()), QStringList{"plain"});
    }

    // The disk fills part-way (as root too): the file-size limit makes the
    // write or the final flush fail.
    void saveFailingPartWay_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<int>("limit");
        QTest::newRow("write fails") << 2000 << 8192;
        QTest::newRow("flush on commit fails") << 2 << 16;
    }
    void saveFailingPartWay()
    {
        QFETCH(int, jobs);
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath("list.jlt");
        const QByteArray earlier("old;list;P;\r\n");
        QVERIFY(writeFile(path, earlier));
        BatchList list;
        QVERIFY(list.append(numberedJobs(jobs)));

        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = rlim_t(limit);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        BatchListFile::Failure failure;
        const bool ok = BatchListFile::save(list, path, &failure);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!ok);
        QCOMPARE(failure.number, qint32(BatchListFile::CannotWrite));
        QVERIFY(!failure.text.isEmpty());
        QCOMPARE(readAll(path), earlier);
        QCOMPARE(entries(dir.path()), QStringList{"list.jlt"});
    }
};

int main(int argc, char *argv[])
{
    // Non-ASCII paths must read back the same whatever the host's locale.
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("LANG", "C.UTF-8");
    QCoreApplication app(argc, argv);
    Tst_BatchListFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batchlistfile.moc"
