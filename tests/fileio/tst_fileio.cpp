#include "fileio/TerminalText.h"

#include <QtTest>

using namespace joblet;

class Tst_FileIo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A planted name must not drive the terminal it is printed on.
    void escapeControls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain path kept") << "/m/Çlip 1.avi" << "/m/Çlip 1.avi";
        QTest::newRow("title escape") << "/m/a\x1b]0;owned\x07.avi" << "/m/a\\x1b]0;owned\\x07.avi";
        QTest::newRow("C1 control") << QString("a") + QChar(0x9b) + "2J" << "a\\x9b2J";
        QTest::newRow("direction override") << QString("x") + QChar(0x202e) + "iva.exe" << "x\\u{202e}iva.exe";
    }
    void escapeControls()
    {
        QFETCH(QString, text);
        QTEST(joblet::escapeControls(text), "shown");
    }
};

QTEST_GUILESS_MAIN(Tst_FileIo)
#include "tst_fileio.moc"
