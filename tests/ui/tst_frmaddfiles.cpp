#include "FakeEncoderEngine.h"
#include "FakeUiServices.h"
#include "MediaFixtures.h"

#include "encoding/ProfileCatalogue.h"
#include "ui/FrmAddFiles.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using namespace joblet;

namespace {

const QStringList AudioVideo = {"Qimto Clipwright 320X240", "Qimto Clipwright 640X480",
                                "Qimto Clipwright 176X144"};
const QStringList AudioOnly = {"Qimto Audio 128K Stereo", "Qimto Audio 64K Stereo",
                               "Qimto Audio 32K Mono"};
const QString VideoOnly = "Qimto Video Only 320X240";
const QStringList All = AudioVideo + AudioOnly + QStringList{VideoOnly};

// "Name:AV", "Name:A" or "Name:V": a profile with those streams.
ProfileSettings profile(const QString &spec)
{
    const QString kinds = spec.section(':', -1);
    ProfileSettings p;
    p.name = spec.section(':', 0, -2);
    if (kinds.contains('V'))
        p.video = {320, 240, 30, 512000};
    if (kinds.contains('A'))
        p.audio = {44100, 2, 64000};
    return p;
}

QStringList items(const QComboBox *box)
{
    QStringList result;
    for (int i = 0; i < box->count(); ++i)
        result << box->itemText(i);
    return result;
}

struct Fixture {
    FakeUiServices ui;
    std::optional<FakeEngineInstaller> engines{std::in_place};
    FrmAddFiles dialog;

    explicit Fixture(bool realEngine = false)
    {
        if (realEngine)
            engines.reset();
        dialog.Form_Load();
    }

    template<typename T = QWidget>
    T *get(const QString &name) const
    {
        T *w = dialog.findChild<T *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }
    QLineEdit *input() const { return get<QLineEdit>("TxtInput"); }
    QLineEdit *output() const { return get<QLineEdit>("TxtOutput"); }
    QComboBox *profiles() const { return get<QComboBox>("CmbProfile"); }
    QPushButton *button(const QString &name) const { return get<QPushButton>(name); }

    bool show()
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        return QTest::qWaitForWindowActive(&dialog);
    }
    // Leaves the input box the way a user does, by Tab.
    void leaveInput()
    {
        input()->setFocus();
        QTest::keyClick(input(), Qt::Key_Tab);
    }
    QString focused() const
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
};

} // namespace

class Tst_FrmAddFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- window ---------------------------------------------------------

    void window()
    {
        Fixture f;
        QCOMPARE(f.dialog.objectName(), QString("FrmAddFiles"));
        QCOMPARE(f.dialog.windowTitle(), QString("Add Batch Items"));
        QCOMPARE(f.dialog.size(), QSize(528, 203));
        QVERIFY(f.dialog.isModal());
        QVERIFY(!(f.dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(f.dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f.get<QGroupBox>("FraInput")->title(), QString("INPUT"));
        QCOMPARE(f.get<QLabel>("LblInput")->buddy(), f.input());
        QCOMPARE(f.get<QLabel>("LblOutput")->buddy(), f.output());
        QCOMPARE(f.get<QLabel>("LblProfile")->buddy(), f.profiles());
        QVERIFY(f.profiles()->isEditable());
        QCOMPARE(f.profiles()->insertPolicy(), QComboBox::NoInsert);
        QVERIFY(f.button("CmdOk")->isDefault());
        for (const char *name : {"FraInput", "LblInput", "TxtInput", "CmdBrowse_0", "LblOutput",
                                    "TxtOutput", "CmdBrowse_1", "LblProfile", "CmbProfile",
                                    "CmdOk", "CmdCancel"})
            QVERIFY2(!f.get(name)->accessibleName().contains('&')
                         && !f.get(name)->accessibleName().isEmpty(),
                     qPrintable(name));
        QVERIFY(f.show());
        const QPoint offCentre = f.dialog.frameGeometry().center()
                                 - f.dialog.screen()->geometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::newRow("frame") << "FraInput" << QRect(0, 16, 521, 137);
        QTest::newRow("input") << "TxtInput" << QRect(80, 16, 337, 21);
        QTest::newRow("output label") << "LblOutput" << QRect(16, 56, 65, 25);
        QTest::newRow("output browse") << "CmdBrowse_1" << QRect(424, 56, 73, 25);
        QTest::newRow("profile") << "CmbProfile" << QRect(80, 96, 337, 21);
        QTest::newRow("ok") << "CmdOk" << QRect(296, 168, 97, 33);
        QTest::newRow("cancel") << "CmdCancel" << QRect(416, 168, 97, 33);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        Fixture f;
        QCOMPARE(f.get(name)->geometry(), place);
    }

    void focusOrderAndKeys()
    {
        Fixture f;
        QVERIFY(f.show());
        QCOMPARE(f.focused(), QString("TxtInput"));
        for (const char *next : {"CmdBrowse_0", "TxtOutput", "CmdBrowse_1", "CmbProfile",
                                    "CmdOk", "CmdCancel", "TxtInput"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(f.focused(), QString(next));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(f.focused(), QString("CmbProfile"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        QCOMPARE(f.focused(), QString("TxtOutput"));

        // Enter presses Ok (Escape: closingKeepsPickedProfile).
        f.input()->setText("C:\\v\\a.avi");
        QTest::keyClick(f.output(), Qt::Key_Return);
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialog.GetInputFile(), QString("C:\\v\\a.avi"));
    }

    // --- opening --------------------------------------------------------

    void openingFillsProfiles_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("default present") << QStringList{"Radio:A", "Qimto Clipwright 320X240:AV"}
                                         << "Qimto Clipwright 320X240";
        QTest::newRow("default in other case")
            << QStringList{"Radio:A", "qimto clipwright 320x240:AV"} << "Radio";
        QTest::newRow("no profiles") << QStringList{} << "";
    }
    void openingFillsProfiles()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, shown);
        Fixture f;
        f.engines->script().profiles.clear();
        for (const QString &spec : installed)
            f.engines->script().profiles << profile(spec);
        f.dialog.Form_Load();
        QCOMPARE(items(f.profiles()).size(), installed.size());
        QCOMPARE(f.profiles()->currentText(), shown);
        QCOMPARE(f.engines->script().alive, 0);
    }

    void openingFailure_data()
    {
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("title");
        QTest::newRow("5") << 5 << "Error-5";
        QTest::newRow("no encoder") << EngineError::NoEncoder << "Error--1605697535";
    }
    void openingFailure()
    {
        QFETCH(qint32, number);
        QFETCH(QString, title);
        Fixture f;
        f.engines->script().creationFailure = number;
        f.dialog.Form_Load();
        QCOMPARE(f.ui.texts(), QStringList{"Error Getting Profiles of Encoder"});
        QCOMPARE(f.ui.messages[0].icon, UiServices::Icon::Critical);
        QCOMPARE(f.ui.messages[0].title, title);
        QCOMPARE(f.profiles()->count(), 0);
        f.input()->setText("a.avi");
        f.dialog.CmdOk_Click();
        QCOMPARE(f.ui.texts().last(), QString("Please enter a profile"));
    }

    // --- results --------------------------------------------------------

    void okStoresResults_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("storedOutput");
        QTest::newRow("all given") << "C:\\v\\a.avi" << "C:\\o\\a.wmv" << "Qimto Audio 32K Mono"
                                   << "C:\\o\\a.wmv";
        QTest::newRow("no output") << "C:\\v\\a.avi" << "" << "Qimto Audio 32K Mono" << "None";
        QTest::newRow("blanks kept") << "  C:\\v\\a.avi  " << " x " << " p " << " x ";
        QTest::newRow("unlisted profile") << "a" << "b" << "My Own" << "b";
    }
    void okStoresResults()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, profile);
        QFETCH(QString, storedOutput);
        Fixture f;
        f.input()->setText(input);
        f.output()->setText(output);
        f.profiles()->setEditText(profile);
        f.button("CmdOk")->click();
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.dialog.GetInputFile(), input);
        QCOMPARE(f.dialog.GetOutputFile(), storedOutput);
        QCOMPARE(f.dialog.GetProfile(), profile);

        f.dialog.Form_Load();
        QCOMPARE(f.dialog.GetInputFile() + f.dialog.GetOutputFile() + f.dialog.GetProfile(),
                 QString());
    }

    void okAsksForMissingEntry_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("no input") << "" << "P" << "Please enter the input file" << "TxtInput";
        QTest::newRow("neither") << "" << "" << "Please enter the input file" << "TxtInput";
        QTest::newRow("no profile") << "a.avi" << "" << "Please enter a profile" << "CmbProfile";
    }
    void okAsksForMissingEntry()
    {
        QFETCH(QString, input);
        QFETCH(QString, profile);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        Fixture f;
        QVERIFY(f.show());
        f.button("CmdOk")->setFocus();
        f.input()->setText(input);
        f.profiles()->setEditText(profile);
        f.button("CmdOk")->click();
        QCOMPARE(f.ui.texts(), QStringList{message});
        QCOMPARE(f.ui.messages[0].icon, UiServices::Icon::None);
        QCOMPARE(f.ui.messages[0].title, QString());
        QVERIFY(f.dialog.isVisible());
        QCOMPARE(f.focused(), focus);
        QCOMPARE(f.dialog.GetInputFile(), QString());
    }

    void closingKeepsPickedProfile_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("cancel") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("escape") << 2;
    }
    void closingKeepsPickedProfile()
    {
        QFETCH(int, how);
        Fixture f;
        QVERIFY(f.show());
        f.input()->setText("C:\\v\\a.avi");
        f.output()->setText("C:\\o\\a.wmv");
        f.profiles()->setFocus();
        QTest::keyClick(f.profiles(), Qt::Key_Down); // picks the next entry
        QCOMPARE(f.dialog.GetProfile(), AudioVideo[1]);
        if (how == 0)
            QTest::mouseClick(f.button("CmdCancel"), Qt::LeftButton);
        else if (how == 1)
            f.dialog.close();
        else
            QTest::keyClick(f.profiles(), Qt::Key_Escape);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.GetInputFile(), QString());
        QCOMPARE(f.dialog.GetOutputFile(), QString());
        QCOMPARE(f.dialog.GetProfile(), AudioVideo[1]);
    }

    void leadingBlankGuard_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed"); // '<' is the Home key
        QTest::addColumn<QString>("text");
        for (const QString box : {"TxtInput", "TxtOutput", "CmbProfile"}) {
            QTest::addRow("%s blank", qPrintable(box)) << box << " " << "";
            QTest::addRow("%s two blanks", qPrintable(box)) << box << "  " << "";
            QTest::addRow("%s blank before letter", qPrintable(box)) << box << "a< " << " a";
            QTest::addRow("%s inner blank", qPrintable(box)) << box << "a b " << "a b ";
        }
    }
    void leadingBlankGuard()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        Fixture f;
        f.profiles()->clearEditText();
        QWidget *target = box == "CmbProfile" ? f.profiles()->lineEdit() : f.get(box);
        for (const QChar c : typed) {
            if (c == '<')
                QTest::keyClick(target, Qt::Key_Home);
            else
                QTest::keyClicks(target, QString(c));
        }
        const QString now = box == "CmbProfile" ? f.profiles()->currentText()
                                                : f.get<QLineEdit>(box)->text();
        QCOMPARE(now, text);
    }

    // --- browsing -------------------------------------------------------

    void inputBrowse_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("focus");
        const QString typed = "D:\\typed.wmv";
        QTest::newRow("avi over typed") << "C:\\v\\clip.avi" << "C:\\v\\clip.wmv" << "TxtInput";
        QTest::newRow("audio") << "E:\\music\\song.wma" << "E:\\music\\song.wmv" << "TxtInput";
        QTest::newRow("long extension") << "x.mpeg" << "x.mwmv" << "TxtInput";
        QTest::newRow("three chars") << "abc" << "wmv" << "TxtInput";
        QTest::newRow("two chars") << "ab" << typed << "CmdBrowse_0";
        QTest::newRow("cancelled") << "" << typed << "CmdBrowse_0";
    }
    void inputBrowse()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, output);
        QFETCH(QString, focus);
        Fixture f;
        QVERIFY(f.show());
        f.button("CmdBrowse_0")->setFocus();
        f.input()->setText("old.avi");
        f.output()->setText("D:\\typed.wmv");
        f.ui.fileAnswers << chosen;
        f.button("CmdBrowse_0")->click();
        QCOMPARE(f.input()->text(), chosen);
        QCOMPARE(f.output()->text(), output);
        QCOMPARE(f.focused(), focus);

        QCOMPARE(f.ui.dialogs.size(), 1);
        const FakeUiServices::Dialog &d = f.ui.dialogs[0];
        QVERIFY(!d.save);
        QCOMPARE(d.dialog.title, QString("Input File"));
        QVERIFY(d.dialog.mustExist);
        QVERIFY(d.dialog.fileName.isEmpty());
        QCOMPARE(d.dialog.filters.size(), 2);
        QCOMPARE(d.dialog.filters,
                 UiServices::qtFilters(
                     "Video Files(*.asf,*.avi,*.bmp,*.mpg,*.wmv)|*.asf;*.avi;*.bmp;*.mpg;*.wmv|"
                     "Audio Files(*.asf,*.avi,*.mp3,*.mpg,*.wav,*.wma)|*.asf;*.avi;*.mp3;*.mpg;"
                     "*.wav;*.wma"));
    }

    void outputBrowse_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("chosen") << "C:\\o\\x.wma";
        QTest::newRow("cancelled") << "";
    }
    void outputBrowse()
    {
        QFETCH(QString, chosen);
        Fixture f;
        f.input()->setText("C:\\v\\clip.avi");
        f.output()->setText("D:\\typed.wmv");
        f.ui.fileAnswers << chosen;
        f.button("CmdBrowse_1")->click();
        QCOMPARE(f.output()->text(), chosen);
        QCOMPARE(f.input()->text(), QString("C:\\v\\clip.avi"));

        QCOMPARE(f.ui.dialogs.size(), 1);
        const FakeUiServices::Dialog &d = f.ui.dialogs[0];
        QVERIFY(d.save);
        QCOMPARE(d.dialog.title, QString("output file"));
        QVERIFY(!d.dialog.mustExist);
        QVERIFY(!d.dialog.confirmOverwrite); // the output is replaced without a question
        QCOMPARE(d.dialog.filters.size(), 4);
        QCOMPARE(d.dialog.filters,
                 UiServices::qtFilters("Qimto Media  files(*.wmv;*.wma)|*.wmv;*.wma|Qimto Media  "
                                       "video files(*.wmv)|*.wmv|Qimto Media  audio "
                                       "files(*.wma)|*.wma|Qimto Media (*.asf)|*.asf"));
    }

    // --- inspection -----------------------------------------------------

    void narrowProfiles_data()
    {
        QTest::addColumn<int>("audio");
        QTest::addColumn<int>("video");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("text");
        const QStringList videos = QStringList(AudioVideo) << "Custom" << "CUSTOM" << VideoOnly;
        const QStringList av = QStringList(AudioVideo) << "Custom" << "CUSTOM";
        QTest::newRow("av kept") << 1 << 2 << AudioVideo[1] << av << AudioVideo[1];
        QTest::newRow("av other case") << 1 << 1 << "qimto clipwright 176x144" << av
                                       << AudioVideo[2];
        QTest::newRow("av last match wins") << 1 << 1 << "custom" << av << "CUSTOM";
        QTest::newRow("av unsuitable") << 1 << 1 << AudioOnly[0] << av << AudioVideo[0];
        QTest::newRow("av blanks count") << 1 << 1 << " Custom" << av << AudioVideo[0];
        QTest::newRow("audio kept") << 2 << 0 << AudioOnly[2].toUpper() << AudioOnly
                                    << AudioOnly[2];
        QTest::newRow("audio unsuitable") << 1 << 0 << AudioVideo[0] << AudioOnly << "";
        QTest::newRow("video kept") << 0 << 1 << VideoOnly << videos << VideoOnly;
        QTest::newRow("video keeps av") << 0 << 1 << AudioVideo[2] << videos << AudioVideo[2];
        QTest::newRow("video unsuitable") << 0 << 1 << AudioOnly[1] << videos << AudioVideo[0];
    }
    void narrowProfiles()
    {
        QFETCH(int, audio);
        QFETCH(int, video);
        QFETCH(QString, remembered);
        QFETCH(QStringList, names);
        QFETCH(QString, text);
        QList<EncoderProfile> installed;
        for (const ProfileSettings &p : ProfileCatalogue::builtIn())
            installed << EncoderProfile(p);
        installed.insert(3, EncoderProfile(profile("Custom:AV")));
        installed.insert(4, EncoderProfile(profile("CUSTOM:AV")));
        const auto narrowed = FrmAddFiles::narrowProfiles(audio, video,
                                                          ProfileCollection(installed), remembered);
        QVERIFY(narrowed);
        QCOMPARE(narrowed->names, names);
        QCOMPARE(narrowed->text(), text);
    }

    void narrowProfilesEdges()
    {
        const ProfileCollection radio(QList<EncoderProfile>{EncoderProfile(profile("Radio:A"))});
        QVERIFY(!FrmAddFiles::narrowProfiles(0, 0, radio, "Radio"));
        const auto none = FrmAddFiles::narrowProfiles(1, 1, radio, "Radio");
        QVERIFY(none && none->names.isEmpty() && none->text().isEmpty());
    }

    void leavingInputNarrows_data()
    {
        QTest::addColumn<int>("audio");
        QTest::addColumn<int>("video");
        QTest::addColumn<qint32>("failure");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("av") << 1 << 1 << 0 << "qimto clipwright 640x480" << AudioVideo
                            << AudioVideo[1] << QStringList();
        QTest::newRow("audio, remembered") << 1 << 0 << 0 << AudioOnly[1] << AudioOnly
                                           << AudioOnly[1] << QStringList();
        QTest::newRow("audio, not remembered") << 1 << 0 << 0 << AudioVideo[0] << AudioOnly << ""
                                               << QStringList();
        QTest::newRow("video") << 0 << 1 << 0 << AudioOnly[0] << (AudioVideo + QStringList{VideoOnly})
                               << AudioVideo[0] << QStringList();
        QTest::newRow("neither") << 0 << 0 << 0 << "typed" << All << "typed"
                                 << QStringList{"The input file doesnot contain Either an audio "
                                                "or a video"};
        QTest::newRow("other failure") << 0 << 0 << EngineError::AccessDenied << "typed" << All
                                       << "typed" << QStringList();
    }
    void leavingInputNarrows()
    {
        QFETCH(int, audio);
        QFETCH(int, video);
        QFETCH(qint32, failure);
        QFETCH(QString, remembered);
        QFETCH(QStringList, names);
        QFETCH(QString, text);
        QFETCH(QStringList, messages);
        Fixture f;
        const QString path = " C:\\v\\in.avi";
        if (failure)
            f.engines->script().setSourceFailure(path, failure);
        else
            f.engines->script().setSource(path, audio, video);
        QVERIFY(f.show());
        f.input()->setText(path);
        f.output()->setText("out");
        f.profiles()->setEditText(remembered);
        for (int pass = 0; pass < 2; ++pass) {
            f.leaveInput();
            QCOMPARE(items(f.profiles()), names);
            QCOMPARE(f.profiles()->currentText(), text);
        }
        QCOMPARE(f.engines->script().log,
                 QStringList(2, "AutoSetFileSource " + path)); // untrimmed, every time
        QCOMPARE(f.engines->script().alive, 0);
        QCOMPARE(f.ui.texts(), messages + messages);
        QCOMPARE(f.output()->text(), QString("out"));
        QVERIFY(f.dialog.isVisible());
    }

    void leavingEmptyInputCreatesNoEngine()
    {
        Fixture f;
        QVERIFY(f.show());
        const int created = f.engines->script().created;
        f.leaveInput();
        QCOMPARE(f.focused(), QString("CmdBrowse_0"));
        QCOMPARE(f.engines->script().created, created);
        QVERIFY(f.ui.messages.isEmpty());
    }

    void okFromInputInspectsFirst()
    {
        Fixture f;
        f.engines->script().setSource("song.wav", 1, 0);
        QVERIFY(f.show());
        f.input()->setText("song.wav");
        f.input()->setFocus();
        QTest::mouseClick(f.button("CmdOk"), Qt::LeftButton);
        // The default profile carries video, so the audio-only input drops it.
        QCOMPARE(f.ui.texts(), QStringList{"Please enter a profile"});
        QCOMPARE(f.focused(), QString("CmbProfile"));
        QVERIFY(f.dialog.isVisible());
    }

    void refusedInputClosesDialog_data()
    {
        QTest::addColumn<bool>("clickOk");
        QTest::newRow("tab") << false;
        QTest::newRow("ok clicked") << true;
    }
    void refusedInputClosesDialog()
    {
        QFETCH(bool, clickOk);
        Fixture f;
        f.engines->script().setSourceFailure("notes.avi", EngineError::UnrecognisedMedia,
                                             "Not a media file: notes.avi");
        QVERIFY(f.show());
        f.input()->setText("notes.avi");
        f.output()->setText("out.wmv");
        f.profiles()->setFocus();
        QTest::keyClick(f.profiles(), Qt::Key_Down);
        f.input()->setFocus();
        if (clickOk)
            QTest::mouseClick(f.button("CmdOk"), Qt::LeftButton);
        else
            QTest::keyClick(f.input(), Qt::Key_Tab);
        QCOMPARE(f.ui.texts(), QStringList{"Not a media file: notes.avi"});
        QCOMPARE(f.ui.messages[0].icon, UiServices::Icon::None);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        // A late OK of the same click stores nothing.
        f.dialog.CmdOk_Click();
        QCOMPARE(f.dialog.GetInputFile(), QString());
        QCOMPARE(f.dialog.GetOutputFile(), QString());
        QCOMPARE(f.dialog.GetProfile(), AudioVideo[1]);
        QCOMPARE(f.ui.messages.size(), 1);
        QCOMPARE(f.engines->script().alive, 0);
    }

    // --- real engine ----------------------------------------------------

    void realEngine()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        test::MediaFixtures media(folder.path());
        const QString clip = media.audioVideoClip();
        const QString tone = media.audioOnly();
        const QString text = media.textFile();
        if (clip.isEmpty() || tone.isEmpty() || text.isEmpty())
            QSKIP(qPrintable("no media: " + media.lastError()));
        const ProfileCollection installed(ProfileCatalogue::installed());

        Fixture f(true);
        QVERIFY(f.show());
        f.input()->setText(clip);
        f.profiles()->setEditText(DefaultProfileName.toLower());
        f.leaveInput();
        QCOMPARE(items(f.profiles()), FrmAddFiles::narrowProfiles(1, 1, installed, {})->names);
        QCOMPARE(f.profiles()->currentText(), DefaultProfileName);

        f.input()->setText(tone);
        f.leaveInput();
        QCOMPARE(items(f.profiles()), FrmAddFiles::narrowProfiles(1, 0, installed, {})->names);
        QVERIFY(items(f.profiles()).contains(AudioOnly[0]));
        QCOMPARE(f.profiles()->currentText(), QString());
        QVERIFY(f.ui.messages.isEmpty());

        f.input()->setText(text);
        f.leaveInput();
        QCOMPARE(f.ui.messages.size(), 1);
        QVERIFY(!f.ui.messages[0].text.isEmpty());
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.GetInputFile(), QString());
    }
};

QTEST_MAIN(Tst_FrmAddFiles)
#include "tst_frmaddfiles.moc"
