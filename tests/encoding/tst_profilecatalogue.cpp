#include "FakeEncoderEngine.h"
#include "ProfileFixtures.h"

#include "encoding/ProfileCatalogue.h"
#include "encoding/ProfileNarrowing.h"

#include "FileHelpers.h"

#include <QtTest>

using namespace joblet;
using namespace joblet::test;

namespace {

const QByteArray audio = "AudioSampleRate=44100\nAudioChannels=2\nAudioBitRate=64000\n";
const QByteArray video = "VideoWidth=320\nVideoHeight=240\nVideoFrameRate=30\nVideoBitRate=512000\n";
const QByteArray Modern = "Name=Small WebM\r\nContainer=webm\r\nVideoCodec=av1\r\nVideoQuality=40\r\n"
                          "VideoPreset=10\r\nVideoMaxWidth=640\r\nVideoMaxHeight=360\r\nAudioBitRate=96000\r\n";

// `match`: index into names, -1 for none.
struct LookupRow { QStringList names; QString current, wanted; int match; };
struct NarrowRow { int audio, video; QString remembered; QStringList names; QString text; };

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

    // Each built-in must pass the checks a profile file gets.
    void builtInsAreValid()
    {
        for (const ProfileSettings &p : ProfileCatalogue::builtIn()) {
            if (p.container != Container::Asf)
                continue; // tst_keep encodes one of each kind
            QString t = "Name=" + p.name + '\n';
            if (p.hasVideo())
                t += QStringLiteral("VideoWidth=%1\nVideoHeight=%2\nVideoFrameRate=%3\nVideoBitRate=%4\n")
                         .arg(p.video.width).arg(p.video.height).arg(p.video.frameRate).arg(p.video.bitRate);
            if (p.hasAudio())
                t += QStringLiteral("AudioSampleRate=%1\nAudioChannels=%2\nAudioBitRate=%3\n")
                         .arg(p.audio.sampleRate).arg(p.audio.channels).arg(p.audio.bitRate);
            QString error;
            QVERIFY2(ProfileCatalogue::parse(t.toUtf8(), &error), qPrintable(p.name + error));
        }
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("outcome"); // "name|description|streams" when it parses, else part of the error
        const auto a = [](const char *from, const char *to) { return "Name=A\n" + QByteArray(audio).replace(from, to); };
        const auto v = [](const char *from, const char *to) { return "Name=A\n" + QByteArray(video).replace(from, to); };
        QTest::newRow("a/v, comments, CRLF, any key case")
            << QByteArray("# mine\r\n\r\n name = My A/V \r\nDESCRIPTION=Small\r\n" + video
                          + "audiosamplerate=44100\naudioChannels = 2\nAudioBitRate=64000")
            << "My A/V|Small|av";
        QTest::newRow("audio only, byte-order mark") << "\xEF\xBB\xBFName=A\n" + audio << "A||a";
        QTest::newRow("video only") << "Name=V\n" + video << "V||v";
        QTest::newRow("range edges") << QByteArray("Name=E\nVideoWidth=16\nVideoHeight=4096\nVideoFrameRate=60\n"
                                                   "VideoBitRate=20000000\nAudioSampleRate=8000\nAudioChannels=1\n"
                                                   "AudioBitRate=320000\n") << "E||av";
        QTest::newRow("blank name") << "Name=  \n" + audio << "line 1: Name";
        QTest::newRow("empty") << QByteArray() << "line 1: Name missing";
        QTest::newRow("unknown key") << "Name=A\nBitRate=1\n" + audio << "line 2: unknown";
        QTest::newRow("duplicate key") << "Name=A\n" + audio + "audiobitrate=32000"
                                       << "line 5: key 'audiobitrate' given twice";
        QTest::newRow("no =") << QByteArray("Name=A\nVideoWidth 320\n") << "line 2: '=' missing";
        QTest::newRow("bad number") << a("44100", "44.1k") << "line 2: '44.1k'";
        QTest::newRow("odd width") << v("320", "321") << "line 2: VideoWidth";
        QTest::newRow("audio bit rate below the encoder's floor") << a("64000", "23999") << "line 4";
        QTest::newRow("video incomplete") << QByteArray("Name=A\nVideoWidth=320\n" + audio) << "VideoHeight missing";
        QTest::newRow("no streams") << QByteArray("Name=A\nDescription=nothing\n") << "line 2: neither";
        QTest::newRow("container without the codecs") << QByteArray(Modern).replace("=webm", "=ogg")
                                                      << "line 2: Container ogg cannot hold these codecs";
        QTest::newRow("unknown codec") << QByteArray(Modern).replace("=av1", "=av2") << "line 3: VideoCodec 'av2'";
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, outcome);
        QString message;
        const std::optional<ProfileSettings> p = ProfileCatalogue::parse(text, &message);
        QCOMPARE(bool(p), outcome.contains(u'|'));
        if (p)
            QCOMPARE(p->name + u'|' + p->description + u'|' + (p->hasAudio() ? "a" : "") + (p->hasVideo() ? "v" : ""),
                     outcome);
        else
            QVERIFY2(message.contains(outcome), qPrintable(message));
    }

    // The keys of today's codecs; WebM's sound is Opus unasked.
    void modernKeys()
    {
        QString error;
        const std::optional<ProfileSettings> p = ProfileCatalogue::parse(Modern, &error);
        QVERIFY2(p, qPrintable(error));
        QCOMPARE(QList<int>({int(p->container), int(p->video.codec), int(p->audio.codec), p->video.quality,
                             p->video.maxWidth, p->video.maxHeight, p->audio.bitRate}),
                 QList<int>({int(Container::WebM), int(VideoCodec::Av1), int(AudioCodec::Opus), 40, 640, 360, 96000}));
        QCOMPARE(p->video.preset + p->extension(), QStringLiteral("10.webm"));
    }

    // Built-ins, then the user's folder, then the one beside the program, files by name;
    // a bad file is skipped alone and reported.
    void installedOrder()
    {
        QTemporaryDir program;
        QCOMPARE(ProfileCatalogue::folders({}), QStringList {m_home.filePath("joblet/profiles")});
        const QStringList folders = ProfileCatalogue::folders(program.path());
        QCOMPARE(folders, (QStringList {m_home.filePath("joblet/profiles"), program.filePath("profiles")}));
        QVERIFY(QDir().mkpath(folders.at(0)) && QDir().mkpath(folders.at(1)));
        QVERIFY(writeFile(folders.at(1) + "/a.jprofile", "Name=Beside program\n" + audio));
        QVERIFY(writeFile(folders.at(0) + "/c.jprofile", "Name=Qimto Audio 32K Mono\n" + video));
        QVERIFY(writeFile(folders.at(0) + "/b.jprofile", "Name=Broken\nAudioChannels=two\n"));
        QVERIFY(writeFile(folders.at(0) + "/a.jprofile", "Name=User\n" + audio));
        QVERIFY(writeFile(folders.at(0) + "/notes.txt", "not a profile"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("b\\.jprofile.*line 2"));
        QStringList warnings, names, expected;
        for (const EncoderProfile &p : ProfileCatalogue::installed(folders, &warnings))
            names << p.Name();
        for (const ProfileSettings &p : ProfileCatalogue::builtIn())
            expected << p.name;
        QCOMPARE(names, expected << "User" << "Qimto Audio 32K Mono" << "Beside program");
        QCOMPARE(warnings.size(), 1); // what the warning says, the ignored message shows
    }

    // A profile file someone else may have planted: never read past a
    // limit, never through a link; the warning a terminal shows carries no
    // live control characters.
    void hostileProfileFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("warning");
        QTest::newRow("link to a good profile") << "link" << "link\\.jprofile skipped";
        QTest::newRow("over 64 KiB") << "large" << "large\\.jprofile skipped";
        QTest::newRow("control characters in the name") << "b\x1b[2J" << "b\\\\x1b\\[2J\\.jprofile skipped";
    }
    void hostileProfileFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, warning);
        QTemporaryDir dir;
        const QString file = dir.filePath(name + ".jprofile");
        const QByteArray good = "Name=Planted\n" + audio;
        if (name == "link")
            QVERIFY(writeFile(dir.filePath("good.txt"), good) && QFile::link(dir.filePath("good.txt"), file));
        else
            QVERIFY(writeFile(file, name == "large" ? good + QByteArray(64 * 1024, '#') : "Name=Broken\nAudioChannels=two\n"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        QStringList said;
        QVERIFY(ProfileCatalogue::loadFolder(dir.path(), &said).isEmpty());
        QCOMPARE(said.size(), 1);
    }

    // Without a list, the factory's catalogue is asked; a failing factory gives no choice.
    void choiceFromEngine()
    {
        FakeEngines fakes;
        fakes->profiles = {ProfileSettings {"Only", {}, {}, {44100, 2, 64000}}};
        QCOMPARE(profileChoice(fakes).names, QStringList {"Only"});
        fakes->creationFailure = EngineError::NoEncoder;
        const ProfileChoice none = profileChoice(fakes);
        QVERIFY(none.names.isEmpty() && none.current.isEmpty());
    }

    // A file on its way from the dialog to a row and into the run's job is
    // opened once; a changed or missing file is asked again.
    void probeOnce()
    {
        FakeEngines fakes;
        QTemporaryDir dir;
        const QString clip = dir.filePath("clip.avi");
        QVERIFY(joblet::test::writeFile(clip, "x"));
        fakes->setSource(clip, 1, 1);
        const MediaCatalogue &catalogue = fakes.factory().catalogue();
        catalogue.probe(clip);
        QCOMPARE(catalogue.probe(clip).videoCount, 1);
        fakes.factory().create()->SourceGroupCollection().Add("Joblet").AutoSetFileSource(clip);
        QCOMPARE(fakes->log.count("AutoSetFileSource " + clip), 1);
        QVERIFY(joblet::test::writeFile(clip, "longer"));
        fakes->setSource(clip, 1, 0);
        QCOMPARE(catalogue.probe(clip).videoCount, 0);
        const QString gone = dir.filePath("gone.avi");
        fakes->setSource(gone, 1, 0);
        catalogue.probe(gone);
        catalogue.probe(gone);
        QCOMPARE(fakes->log.filter("AutoSetFileSource").size(), 4);
    }

    // The window's choice wants the default name exactly; lookup by name ignores case but not blanks.
    void choiceAndLookup_data()
    {
        QTest::addColumn<LookupRow>("row");
        const QString mono = QStringLiteral("Qimto Audio 32K Mono");
        QTest::newRow("default present") << LookupRow {{mono, DefaultProfileName}, DefaultProfileName, DefaultProfileName, 1};
        QTest::newRow("default in other case") << LookupRow {{"Mine", "qimto clipwright 320x240"}, "Mine", DefaultProfileName, 1};
        QTest::newRow("first of case variants") << LookupRow {{"QIMTO MONO", "qimto mono"}, "QIMTO MONO", "Qimto Mono", 0};
        QTest::newRow("trailing blank") << LookupRow {{mono}, mono, mono + ' ', -1};
        QTest::newRow("no profiles") << LookupRow {{}, "", "A", -1};
    }
    void choiceAndLookup()
    {
        QFETCH(LookupRow, row);
        const auto &[names, current, wanted, match] = row;
        QList<EncoderProfile> list;
        for (const QString &name : names)
            list << EncoderProfile(ProfileSettings {name, {}, {}, {44100, 2, 64000}});
        const ProfileChoice c = profileChoice(ProfileCollection(list));
        QCOMPARE(c.names, names);
        QCOMPARE(c.current, current);

        const auto catalogue = fakeCatalogue(std::make_shared<FakeEngineScript>());
        SourceGroup group(*catalogue, "SrcList");
        std::optional<EncoderProfile> found;
        QCOMPARE(GetProfile(wanted, found, ProfileCollection(list), group), match < 0 ? 1 : 0);
        const QString expected = match < 0 ? QString() : names.at(match);
        QCOMPARE(group.Profile() ? group.Profile()->Name() : QString(), expected);
        QCOMPARE(found ? found->Name() : QString(), expected);
    }

    void narrowProfiles_data()
    {
        QTest::addColumn<NarrowRow>("row");
        const QStringList av = QStringList(AudioVideo) << "Custom" << "CUSTOM" << ModernVideo;
        const QStringList videos = QStringList(AudioVideo) << "Custom" << "CUSTOM" << VideoOnly << ModernVideo;
        const QStringList audios = QStringList(AudioOnly) << ModernAudio;
        QTest::newRow("av kept") << NarrowRow {1, 2, AudioVideo[1], av, AudioVideo[1]};
        QTest::newRow("av last match wins") << NarrowRow {1, 1, "custom", av, "CUSTOM"};
        QTest::newRow("audio kept") << NarrowRow {2, 0, AudioOnly[2].toUpper(), audios, AudioOnly[2]};
        QTest::newRow("audio unsuitable") << NarrowRow {1, 0, AudioVideo[0], audios, ""};
        QTest::newRow("video keeps av") << NarrowRow {0, 1, AudioVideo[2], videos, AudioVideo[2]};
        QTest::newRow("video unsuitable") << NarrowRow {0, 1, AudioOnly[1], videos, AudioVideo[0]};
    }
    void narrowProfiles()
    {
        QFETCH(NarrowRow, row);
        QList<EncoderProfile> installed;
        for (const ProfileSettings &p : ProfileCatalogue::builtIn())
            installed << EncoderProfile(p);
        installed.insert(3, EncoderProfile(profile("Custom:AV")));
        installed.insert(4, EncoderProfile(profile("CUSTOM:AV")));
        const auto narrowed = joblet::narrowProfiles(row.audio, row.video, ProfileCollection(installed), row.remembered);
        QVERIFY(narrowed);
        QCOMPARE(narrowed->names, row.names);
        QCOMPARE(narrowed->text(), row.text);
    }

    void narrowProfilesEdges()
    {
        const ProfileCollection radio(QList<EncoderProfile>{EncoderProfile(profile("Radio:A"))});
        QVERIFY(!joblet::narrowProfiles(0, 0, radio, "Radio"));
        const auto none = joblet::narrowProfiles(1, 1, radio, "Radio");
        QVERIFY(none && none->names.isEmpty() && none->text().isEmpty());
    }
};

QTEST_GUILESS_MAIN(Tst_ProfileCatalogue)
#include "tst_profilecatalogue.moc"
