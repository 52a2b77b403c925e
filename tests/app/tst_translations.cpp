#include "WindowFixture.h"

#include "app/Translations.h"
#include "encoding/EncoderFailure.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>

using namespace joblet;

class Tst_Translations : public QObject {
    Q_OBJECT

private slots:
    // A text added or changed without its translation shows in English; one
    // whose source went away is dead weight. lupdate over a copy finds both.
    void everyTextHasItsTranslation()
    {
        QTemporaryDir dir;
        const QString ts = dir.filePath("joblet_de.ts");
        QVERIFY(QFile::copy(JOBLET_SOURCE_DIR "/translations/joblet_de.ts", ts));
        QFile::setPermissions(ts, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.setWorkingDirectory(JOBLET_SOURCE_DIR);
        lupdate.start(JOBLET_LUPDATE, QStringList {"-silent", "-locations", "none"}
                                          + QString(JOBLET_TRANSLATED_PATHS).split(' ') + QStringList {"-ts", ts});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);

        QFile file(ts);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // A translation marked (unfinished, vanished, obsolete) or left empty.
        static const QRegularExpression message(R"(<source>(.*?)</source>.*?<translation( type="\w+")?>(</translation>)?)",
                                                QRegularExpression::DotMatchesEverythingOption);
        QStringList faults;
        int messages = 0;
        for (const auto &m : message.globalMatch(QString::fromUtf8(file.readAll()))) {
            ++messages;
            if (m.hasCaptured(2) || m.hasCaptured(3))
                faults << m.captured(1) + m.captured(2);
        }
        QVERIFY(messages > 100);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    // The translation comes from the resources, chosen by the locale (LANG).
    void germanWindow()
    {
        const Translations texts;
        WindowFixture f(QTime(9, 0));
        QCOMPARE(f.button("CmdStart")->text(), QString("&Starten"));
        QCOMPARE(f.button("CmdStart")->accessibleName(), QString("Starten"));
        // The engine's layer looks its texts up when asked, not before.
        QCOMPARE(EngineError::describe(EngineError::FileNotFound), QString("Die Datei existiert nicht."));
        // Each access key once in the window.
        QSet<QString> keys;
        for (const QString &name : panelButtons + QStringList {"CmdExit"}) {
            const QString caption = f.button(name)->text(), key = caption.section('&', 1).left(1).toLower();
            QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(caption));
            keys << key;
        }
    }
};

int main(int argc, char **argv)
{
    // Before anything asks for the system locale, which keeps what it first saw.
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qputenv("LANG", "de_DE.UTF-8");
    QApplication app(argc, argv);
    Tst_Translations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translations.moc"
