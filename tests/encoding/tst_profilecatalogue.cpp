#include "FakeEncoderEngine.h"

#include "encoding/ProfileCatalogue.h"

#include <QtTest>

using namespace joblet;

namespace {

ProfileCollection named(const QStringList &names)
{
    QList<EncoderProfile> profiles;
    for (const QString &name : names) {
        ProfileSettings s;
        s.name = name;
        s.audio = {44100, 2, 64000};
        profiles << EncoderProfile(s);
    }
    return ProfileCollection(profiles);
}

QStringList namesOf(const QList<EncoderProfile> &profiles)
{
    QStringList names;
    for (const EncoderProfile &p : profiles)
        names << p.Name();
    return names;
}

QByteArray textOf(const ProfileSettings &p)
{
    QByteArray t = "Name=" + p.name.toLocal8Bit() + "\nDescription=" + p.description.toLocal8Bit();
    if (p.hasVideo())
        t += QStringLiteral("\nVideoWidth=%1\nVideoHeight=%2\nVideoFrameRate=%3\nVideoBitRate=%4")
                 .arg(p.video.width).arg(p.video.height).arg(p.video.frameRate).arg(p.video.bitRate)
                 .toLatin1();
    if (p.hasAudio())
        t += QStringLiteral("\nAudioSampleRate=%1\nAudioChannels=%2\nAudioBitRate=%3\n")
                 .arg(p.audio.sampleRate).arg(p.audio.channels).arg(p.audio.bitRate).toLatin1();
    return t;
}

bool write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

const QByteArray audio = "AudioSampleRate=44100\nAudioChannels=2\nAudioBitRate=64000\n";
const QByteArray video = "VideoWidth=320\nVideoHeight=240\nVideoFrameRate=30\nVideoBitRate=512000\n";

} // namespace

class Tst_ProfileCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase()
    {
        // Keep the user's own profiles out, and ours out of theirs.
        QVERIFY(m_home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
    }

    void builtIns()
    {
        const QList<ProfileSettings> builtIn = ProfileCatalogue::builtIn();
        QStringList names;
        for (const ProfileSettings &p : builtIn) {
            names << p.name;
            QVERIFY(!p.description.isEmpty());
            // Each must also be expressible as a profile file.
            QString error;
            QVERIFY2(ProfileCatalogue::parse(textOf(p), &error), qPrintable(p.name + error));
            const EncoderProfile profile(p);
            QCOMPARE(profile.MediaCount(MediaAudio), p.name.contains("Video Only") ? 0 : 1);
            QCOMPARE(profile.MediaCount(MediaVideo), p.name.contains("Audio") ? 0 : 1);
        }
        QCOMPARE(names, (QStringList{"Qimto Clipwright 320X240", "Qimto Clipwright 640X480",
                                     "Qimto Clipwright 176X144", "Qimto Audio 128K Stereo",
                                     "Qimto Audio 64K Stereo", "Qimto Audio 32K Mono",
                                     "Qimto Video Only 320X240"}));
        QCOMPARE(names.count(DefaultProfileName), 1);
        QCOMPARE(builtIn.at(2).video.frameRate, 15);
        QCOMPARE(builtIn.at(2).audio.sampleRate, 22050);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // empty: parses; else part of the error
        QTest::addColumn<int>("streams");   // 1 audio, 2 video, 3 both
        QTest::newRow("a/v, comments, CRLF, any key case")
            << QByteArray("# mine\r\n\r\n name = My A/V \r\nDESCRIPTION=Small\r\n" + video
                          + "audiosamplerate=44100\naudioChannels = 2\nAudioBitRate=64000")
            << "" << 3;
        QTest::newRow("audio only, byte-order mark") << "\xEF\xBB\xBFName=A\n" + audio << "" << 1;
        QTest::newRow("video only") << "Name=V\n" + video << "" << 2;
        QTest::newRow("range edges") << QByteArray("Name=E\nVideoWidth=16\nVideoHeight=4096\n"
                                                   "VideoFrameRate=60\nVideoBitRate=20000000\n"
                                                   "AudioSampleRate=8000\nAudioChannels=1\n"
                                                   "AudioBitRate=320000\n") << "" << 3;
        QTest::newRow("missing name") << audio << "line 3: Name missing" << 0;
        QTest::newRow("blank name") << "Name=  \n" + audio << "line 1: Name" << 0;
        QTest::newRow("unknown key") << "Name=A\nBitRate=1\n" + audio << "line 2: unknown" << 0;
        QTest::newRow("duplicate key") << "Name=A\n" + audio + "audiobitrate=32000"
                                       << "line 5: key 'audiobitrate' given twice" << 0;
        QTest::newRow("no =") << QByteArray("Name=A\nVideoWidth 320\n") << "line 2: '=' missing" << 0;
        QTest::newRow("bad number") << QByteArray("Name=A\nAudioSampleRate=44.1k\nAudioChannels=2\nAudioBitRate=64000")
                                    << "line 2: '44.1k'" << 0;
        QTest::newRow("odd width") << "Name=A\n" + QByteArray(video).replace("320", "321") << "line 2: VideoWidth"
                                   << 0;
        QTest::newRow("height too big") << "Name=A\n" + QByteArray(video).replace("240", "4098")
                                        << "line 3: VideoHeight" << 0;
        QTest::newRow("frame rate 61") << "Name=A\n" + QByteArray(video).replace("=30", "=61")
                                       << "line 4" << 0;
        QTest::newRow("video bit rate low") << "Name=A\n" + QByteArray(video).replace("512000", "15999")
                                            << "line 5" << 0;
        QTest::newRow("audio bit rate below the encoder's floor")
            << "Name=A\n" + QByteArray(audio).replace("64000", "23999") << "line 4" << 0;
        QTest::newRow("audio bit rate high") << "Name=A\n" + QByteArray(audio).replace("64000", "320001")
                                             << "line 4" << 0;
        QTest::newRow("odd sample rate") << "Name=A\n" + QByteArray(audio).replace("44100", "44000")
                                         << "line 2" << 0;
        QTest::newRow("three channels") << "Name=A\n" + QByteArray(audio).replace("=2", "=3")
                                        << "line 3" << 0;
        QTest::newRow("video incomplete") << QByteArray("Name=A\nVideoWidth=320\n" + audio)
                                          << "VideoHeight missing" << 0;
        QTest::newRow("no streams") << QByteArray("Name=A\nDescription=nothing\n")
                                    << "line 2: neither" << 0;
        QTest::newRow("empty") << QByteArray() << "line 1: Name missing" << 0;
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QFETCH(int, streams);
        QString message;
        const std::optional<ProfileSettings> p = ProfileCatalogue::parse(text, &message);
        QCOMPARE(bool(p), error.isEmpty());
        if (!p) {
            QVERIFY2(message.contains(error), qPrintable(message));
            return;
        }
        QCOMPARE(int(p->hasAudio()) | (int(p->hasVideo()) << 1), streams);
        if (QTest::currentDataTag() == QByteArray("a/v, comments, CRLF, any key case")) {
            QCOMPARE(p->name, QStringLiteral("My A/V"));
            QCOMPARE(p->description, QStringLiteral("Small"));
            QCOMPARE(p->video.height, 240);
            QCOMPARE(p->audio.channels, 2);
        }
    }

    void badFileIsSkippedAlone()
    {
        QTemporaryDir dir;
        QVERIFY(write(dir.filePath("a.jprofile"), "Name=First\n" + audio));
        QVERIFY(write(dir.filePath("b.jprofile"), "Name=Broken\nAudioChannels=two\n"));
        QVERIFY(write(dir.filePath("c.jprofile"), "Name=Third\n" + video));
        QVERIFY(write(dir.filePath("notes.txt"), "not a profile"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("b\\.jprofile.*line 2"));
        QStringList warnings;
        const QList<ProfileSettings> loaded = ProfileCatalogue::loadFolder(dir.path(), &warnings);
        QCOMPARE(loaded.size(), 2);
        QCOMPARE(loaded.at(0).name, QStringLiteral("First"));
        QCOMPARE(loaded.at(1).name, QStringLiteral("Third"));
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.first().contains(dir.filePath("b.jprofile")));
        QVERIFY(warnings.first().contains("line 2"));
    }

    void installedOrder()
    {
        const QStringList folders = ProfileCatalogue::folders();
        QCOMPARE(folders, (QStringList{m_home.filePath("joblet/profiles"),
                                       QCoreApplication::applicationDirPath() + "/profiles"}));
        if (QFileInfo::exists(folders.at(1)))
            QSKIP("a profiles folder already sits beside the test program");
        QVERIFY(QDir().mkpath(folders.at(0)) && QDir().mkpath(folders.at(1)));
        const auto cleanup = qScopeGuard([&] { QDir(folders.at(1)).removeRecursively(); });
        QVERIFY(write(folders.at(1) + "/a.jprofile", "Name=Beside program\n" + audio));
        QVERIFY(write(folders.at(0) + "/b.jprofile", "Name=Qimto Audio 32K Mono\n" + audio));
        QVERIFY(write(folders.at(0) + "/a.jprofile", "Name=User\n" + audio));

        const QStringList names = namesOf(ProfileCatalogue::installed());
        QStringList expected;
        for (const ProfileSettings &p : ProfileCatalogue::builtIn())
            expected << p.name;
        expected << "User" << "Qimto Audio 32K Mono" << "Beside program";
        QCOMPARE(names, expected);
    }

    void choice_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("current");
        QTest::newRow("default present") << QStringList{"Qimto Audio 32K Mono", DefaultProfileName}
                                         << DefaultProfileName;
        QTest::newRow("default absent") << QStringList{"Mine", "Qimto Audio 32K Mono"} << "Mine";
        QTest::newRow("default in other case")
            << QStringList{"Qimto Audio 32K Mono", "qimto clipwright 320x240"}
            << "Qimto Audio 32K Mono";
        QTest::newRow("none") << QStringList{} << "";
    }

    void choice()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, current);
        const ProfileChoice c = profileChoice(named(names));
        QCOMPARE(c.names, names);
        QCOMPARE(c.current, current);
    }

    void choiceFromEngine()
    {
        FakeEngineInstaller fakes;
        fakes->profiles = {ProfileSettings{"Only", {}, {}, {44100, 2, 64000}}};
        QCOMPARE(profileChoice().names, QStringList{"Only"});
        QCOMPARE(fakes->alive, 0);

        fakes->creationFailure = EngineError::NoEncoder;
        const ProfileChoice none = profileChoice();
        QVERIFY(none.names.isEmpty() && none.current.isEmpty());
        QCOMPARE(fakes->created, 1);
    }

    void getProfile_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<int>("match"); // index into names, -1 for none
        QTest::newRow("exact") << QStringList{"A", DefaultProfileName} << DefaultProfileName << 1;
        QTest::newRow("stored in lower case")
            << QStringList{"qimto clipwright 320x240"} << DefaultProfileName << 0;
        QTest::newRow("first of case variants")
            << QStringList{"QIMTO MONO", "qimto mono"} << "Qimto Mono" << 0;
        QTest::newRow("trailing blank") << QStringList{"Qimto Audio 32K Mono"}
                                        << "Qimto Audio 32K Mono " << -1;
        QTest::newRow("unknown") << QStringList{"A"} << "B" << -1;
        QTest::newRow("no profiles") << QStringList{} << "A" << -1;
    }

    void getProfile()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, wanted);
        QFETCH(int, match);
        FakeEncoderEngine engine(std::make_shared<FakeEngineScript>());
        SourceGroup &group = engine.SourceGroupCollection().Add("SrcList");
        std::optional<EncoderProfile> found;
        QCOMPARE(GetProfile(wanted, found, named(names), group), match < 0 ? 1 : 0);
        QCOMPARE(bool(group.Profile()), match >= 0);
        QCOMPARE(bool(found), match >= 0);
        if (match >= 0) {
            QCOMPARE(group.Profile()->Name(), names.at(match));
            QCOMPARE(found->Name(), names.at(match));
        }
    }
};

QTEST_GUILESS_MAIN(Tst_ProfileCatalogue)
#include "tst_profilecatalogue.moc"
