#include "FakeEncoderEngine.h"
#include "ProfileFixtures.h"
#include "FakeUiServices.h"

#include "ui/FrmAddFiles.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace joblet;
using namespace joblet::test;

namespace {

struct Fixture {
    FakeUiServices ui;
    FakeEngines engines;
    FrmAddFiles dialog;

    Fixture()
        : dialog(engines.factory(), ui)
    {
        dialog.Form_Load();
    }
    template<typename T = QWidget>
    T *get(const QString &name) const { return dialog.findChild<T *>(name); }
    QLineEdit *input() const { return get<QLineEdit>("TxtInput"); }
    QLineEdit *output() const { return get<QLineEdit>("TxtOutput"); }
    QComboBox *profiles() const { return get<QComboBox>("CmbProfile"); }
    QPushButton *ok() const { return get<QPushButton>("CmdOk"); }
    bool show()
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        return QTest::qWaitForWindowActive(&dialog);
    }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    QString results() const
    {
        return dialog.GetInputFile() + "|" + dialog.GetOutputFile() + "|" + dialog.GetProfile();
    }
};

// OK's outcome: `source` set, OK is clicked from the input box, which looks
// at the file first; `outcome` is the stored input|output|profile, or the
// focus, or "closed".
struct OkRow {
    QString source, input, output, profile, message, outcome;
};

} // namespace


class Tst_FrmAddFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowAndKeyboard()
    {
        Fixture f; // its controls' names are tst_captions' rows
        QVERIFY(f.show());
        QCOMPARE(f.focused(), QString("TxtInput"));
        for (const char *next : {"CmdBrowse_0", "TxtOutput", "CmdBrowse_1", "CmbProfile",
                                 "CmdOk", "CmdCancel", "TxtInput"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(f.focused(), QString(next));
        }
        f.input()->setText("a.avi");
        f.output()->setText("a.wmv");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier); // the label's buddy
        QCOMPARE(f.focused(), QString("CmbProfile"));
        QTest::keyClick(f.profiles(), Qt::Key_Down); // picks the next entry
        // Escape cancels: nothing stored but the picked profile.
        QTest::keyClick(f.profiles(), Qt::Key_Escape);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.results(), "||" + AudioVideo[1]);
    }

    void noEncoder()
    {
        Fixture f; // which entry shows is the catalogue's choice, checked there
        f.engines->creationFailure = EngineError::NoEncoder;
        f.dialog.Form_Load();
        QCOMPARE(f.profiles()->count(), 0);
        QCOMPARE(f.engines->alive, 0);
        QCOMPARE(f.ui.texts(), QStringList{"Error Getting Profiles of Encoder"});
        QCOMPARE(f.ui.messages[0].icon, UiServices::Icon::Critical);
    }

    void ok_data()
    {
        QTest::addColumn<OkRow>("row");
        // Stored as typed, the profile too though no such profile is listed.
        QTest::newRow("no output") << OkRow{"", " a", "", " p ", "", " a|None| p "};
        QTest::newRow("neither") << OkRow{"", "", "", "", "Please enter the input file", "TxtInput"};
        QTest::newRow("no profile") << OkRow{"", "a", "o", "", "Please enter a profile", "CmbProfile"};
        // The default profile carries video, so the audio-only input drops it.
        QTest::newRow("audio only, from input")
            << OkRow{"audio", "in.avi", "out.wmv", AudioVideo[0], "Please enter a profile", "CmbProfile"};
        QTest::newRow("refused, from input")
            << OkRow{"refused", "in.avi", "out.wmv", AudioVideo[0], "Not a media file: in.avi", "closed"};
    }
    void ok()
    {
        QFETCH(OkRow, row);
        const auto &[source, input, output, profile, message, outcome] = row;
        Fixture f;
        if (source == "audio")
            f.engines->setSource(input, 1, 0);
        if (source == "refused")
            f.engines->setSourceFailure(input, EngineError::UnrecognisedMedia, message);
        QVERIFY(f.show());
        f.ok()->setFocus();
        f.input()->setText(input);
        f.output()->setText(output);
        f.profiles()->setEditText(profile);
        if (source.isEmpty()) {
            QTest::keyClick(f.output(), Qt::Key_Return); // OK is the default button
        } else {
            f.input()->setFocus();
            QTest::mouseClick(f.ok(), Qt::LeftButton);
            if (source == "refused")
                f.dialog.CmdOk_Click(); // a late OK of the same click stores nothing
        }
        if (message.isEmpty()) {
            QVERIFY(f.ui.messages.isEmpty());
            QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
            QCOMPARE(f.results(), outcome);
            f.dialog.Form_Load(); // reopening must not hand back the previous entry
            QCOMPARE(f.results(), QString("||"));
            return;
        }
        QCOMPARE(f.ui.texts(), QStringList{message});
        QVERIFY(source == "refused" || f.ui.messages[0].icon == UiServices::Icon::None);
        QCOMPARE(f.results(), QString("||"));
        QCOMPARE(f.dialog.isVisible(), outcome != "closed");
        if (outcome != "closed")
            QCOMPARE(f.focused(), outcome);
    }

    void browse_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("focus");
        // A chosen input proposes an output (the naming rule is checked with the
        // session rules) and takes the focus back; without a proposal nothing moves.
        QTest::newRow("input") << 0 << "x.mpeg" << "x.mwmv" << "TxtInput";
        QTest::newRow("input cancelled") << 0 << "" << "typed.wmv" << "CmdBrowse_0";
        QTest::newRow("output") << 1 << "x.wma" << "x.wma" << "CmdBrowse_1";
    }
    void browse()
    {
        QFETCH(int, row);
        QFETCH(QString, chosen);
        Fixture f;
        QVERIFY(f.show());
        auto *button = f.get<QPushButton>(QString("CmdBrowse_%1").arg(row));
        button->setFocus();
        f.input()->setText("old.avi");
        f.output()->setText("typed.wmv");
        f.ui.fileAnswers << chosen;
        button->click();
        QCOMPARE(f.input()->text(), row == 0 ? chosen : QString("old.avi"));
        QTEST(f.output()->text(), "output");
        QTEST(f.focused(), "focus");
        QCOMPARE(f.ui.dialogs.size(), 1);
        const FakeUiServices::Dialog &d = f.ui.dialogs[0];
        QCOMPARE(d.save, row == 1);
        QCOMPARE(d.dialog.mustExist, row == 0);
        QVERIFY(row == 0 || !d.dialog.confirmOverwrite); // the output is replaced unasked
        const QStringList shownFirst = d.dialog.filters.first().section('(', -1).chopped(1).split(' ');
        QVERIFY(row == 1 || (QDir::match(shownFirst, "a.mp4") && QDir::match(shownFirst, "a.mkv")));
    }
};

QTEST_MAIN(Tst_FrmAddFiles)
#include "tst_frmaddfiles.moc"
