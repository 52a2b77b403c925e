#include "FileHelpers.h"
#include "WindowFixture.h"

#include "batch/BatchListFile.h"

#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTreeView>

using namespace joblet;

namespace {

const QStringList listReady = panelButtons.mid(0, 7); // after a good Add or Load

BatchItem job(const QString &input, const QString &result = {})
{
    return BatchItem{input, input + ".wmv", "Profile " + input, result, {}};
}

struct Fixture : WindowFixture {
    QTemporaryDir dir;

    BatchList &list() { return window.list(); }
    QStringList inputs() const { return window.list().inputFiles(); }
    // Empty text: no message at all.
    void expectMessage(const QString &text, UiServices::Icon icon = UiServices::Icon::None,
                       qint32 number = 0)
    {
        QCOMPARE(ui.texts(), text.isEmpty() ? QStringList() : QStringList{text});
        if (text.isEmpty())
            return;
        const auto &m = ui.messages.first();
        QCOMPARE(m.icon, icon);
        QCOMPARE(m.title, number ? "Error-" + QString::number(number) : QString());
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

// `rows` before the click, `left` after it.
struct ButtonRow { QString button; int rows, left; QStringList enabled; QString message; };

// `answer` in the test's folder, empty: cancelled; `content` of the file
// there, null: none; `last` the last row's input.
struct DropRow { QStringList files; bool running; QStringList inputs; QString message; };

struct FileRow { QString command, answer; QByteArray content; int rows; QString last; int failure; };

} // namespace

class Tst_EditCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // From the state after start-up, with the clicked button enabled and the last
    // row selected; a failing Add row still enables the list buttons, and Clear
    // Results on an empty list complains, yet enables Start. A cancelled Add
    // gives the focus back to Add; an added row's texts are trimmed of spaces.
    void buttonTable_data()
    {
        QTest::addColumn<ButtonRow>("row");
        const QStringList removed{"CmdAdd", "CmdRemove", "CmdLoad"};
        const QStringList cleared{"CmdAdd", "CmdClearResults", "CmdLoad", "CmdStart"};
        QTest::newRow("Add confirmed") << ButtonRow{"CmdAdd", 0, 1, listReady, ""};
        QTest::newRow("Add cancelled") << ButtonRow{"CmdAdd", 0, 0, {"CmdAdd", "CmdLoad"}, ""};
        QTest::newRow("Add, row fails") << ButtonRow{"CmdAdd", 0, 0, listReady, "Error Populating the list"};
        QTest::newRow("Remove, empty list") << ButtonRow{"CmdRemove", 0, 0, removed, ""};
        QTest::newRow("Remove All") << ButtonRow{"CmdRemoveAll", 3, 0, listReady, ""};
        QTest::newRow("Clear Results") << ButtonRow{"CmdClearResults", 2, 2, listReady, ""};
        QTest::newRow("Clear Results, empty list") << ButtonRow{"CmdClearResults", 0, 0, cleared, "Nothing to clear"};
    }
    void buttonTable()
    {
        QFETCH(ButtonRow, row);
        const auto &[button, rows, left, enabled, message] = row;
        Fixture f;
        f.window.show();
        f.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        f.get("LvwJoblet")->setFocus();
        for (int i = 0; i < rows; ++i)
            f.list().append(job(QString("/in/%1.avi").arg(i), "Done"));
        f.list().setSelectedRow(rows);
        f.engines->setSourceFailure("/in/broken.avi", EngineError::FileNotFound);
        if (button == "CmdAdd" && (left || !message.isEmpty()))
            f.ui.addItemAnswers << (left ? UiServices::AddItemEntry{"\t/in/a.avi ", " /out/a.wmv", " P  "}
                                         : UiServices::AddItemEntry{"/in/broken.avi", "None", "P"});
        f.click(button);
        QCOMPARE(f.enabledButtons(), enabled);
        f.expectMessage(message);
        QCOMPARE(f.list().count(), left);
        if (left)
            QVERIFY(f.list().cell(left, "Result").isEmpty());
        if (left && button == "CmdAdd") { // spaces trimmed, a tab kept
            const BatchItem &added = f.list().item(1);
            QCOMPARE(added.inputFile + '|' + added.outputFile + '|' + added.profile, QString("\t/in/a.avi|/out/a.wmv|P"));
        }
        if (QTest::currentDataTag() == QLatin1String("Add cancelled"))
            QVERIFY(f.button("CmdAdd")->hasFocus()); // not left on the list
    }

    void removeTakesTheSelectedRowOnly()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        f.list().setHighlightedRow(2); // highlighted is not selected
        f.click("CmdRemove");
        f.expectMessage("Error Removing Selected Entry From List", UiServices::Icon::Exclamation);
        QCOMPARE(f.list().count(), 3);

        f.ui.messages.clear();
        f.list().setSelectedRow(2);
        f.click("CmdRemove");
        f.expectMessage({});
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/c.avi"}));
    }

    // Save writes what Load puts in place of the list, nothing selected (the
    // highlight and buttons are the load table's).
    void saveThenLoad()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        const QString file = f.dir.filePath("list.jlt");
        f.ui.fileAnswers << file << file;
        f.click("CmdSave");
        f.list().removeAll();
        f.addJobs({"/in/other.avi"});
        f.list().setSelectedRow(1);
        f.click("CmdLoad");
        f.expectMessage({});
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi"}));
        QCOMPARE(f.list().selectedRow(), 0);
        QVERIFY(!f.get<QTreeView>("LvwJoblet")->selectionModel()->hasSelection());
    }

    // A cancelled dialog or a failed Save: nothing written, nothing changed.
    // A failed Load keeps the rows read before the fault, yet enables nothing.
    void fileCommand_data()
    {
        QTest::addColumn<FileRow>("row");
        const QString old = "/in/old.avi";
        QTest::newRow("Load cancelled") << FileRow{"CmdLoad", "", {}, 1, old, 0};
        QTest::newRow("Save fails") << FileRow{"CmdSave", "no/such/folder/list.jlt", {}, 1, old, BatchListFile::CannotWrite};
        QTest::newRow("Load, bad second line")
            << FileRow{"CmdLoad", "list.jlt", "/in/a.avi;/out/a.wmv;P;\r\n/in/b.avi;/out/b.wmv\r\n/in/c.avi;o;P;\r\n", 1,
                       "/in/a.avi", BatchListFile::BadLine};
        QTest::newRow("Load, missing file keeps the list")
            << FileRow{"CmdLoad", "list.jlt", {}, 1, old, BatchListFile::CannotOpen};
    }
    void fileCommand()
    {
        QFETCH(FileRow, row);
        const auto &[command, answer, content, rows, last, failure] = row;
        Fixture f;
        f.addJobs({"/in/old.avi"});
        if (!content.isNull())
            QVERIFY(test::writeFile(f.dir.filePath(answer), content));
        if (!answer.isEmpty())
            f.ui.fileAnswers << f.dir.filePath(answer);
        f.button(command)->setEnabled(true);
        const QStringList before = f.enabledButtons();
        f.click(command); // no answer queued: cancelled
        const QString failed = command == "CmdSave" ? "Error Saving List Entries" : "Error Loading Saved Configuration";
        f.expectMessage(failure ? failed : "", UiServices::Icon::Critical, failure);
        QCOMPARE(f.ui.dialogs.size(), 1);
        QCOMPARE(f.list().count(), rows);
        if (rows)
            QCOMPARE(f.list().item(rows).inputFile, last);
        const bool loaded = command == "CmdLoad" && !answer.isEmpty() && !failure && rows;
        QCOMPARE(f.list().highlightedRow(), loaded ? 1 : 0);
        QCOMPARE(f.enabledButtons(), loaded ? listReady : before);
        if (content.isNull())
            QVERIFY(QDir(f.dir.path()).isEmpty());
    }

    // Files dropped on the list: media as Add names them with the window's
    // profile (what is not a file is one message), a list as Load loads it;
    // nothing while a run reads the list, or with a list among other files.
    void drop_data()
    {
        QTest::addColumn<DropRow>("row");
        QTest::newRow("media and a folder")
            << DropRow{{"a.avi", "b.mp4", "sub"}, false, {"/in/old.avi", "a.avi", "b.mp4"}, "Error Populating the list"};
        QTest::newRow("list") << DropRow{{"week.jlt"}, false, {"/in/x.avi", "/in/y.avi"}, ""};
        QTest::newRow("list among media") << DropRow{{"week.jlt", "a.avi"}, false, {"/in/old.avi"}, ""};
        QTest::newRow("during a run") << DropRow{{"a.avi"}, true, {"/in/old.avi"}, ""};
    }
    void drop()
    {
        QFETCH(DropRow, row);
        auto [files, running, inputs, message] = row;
        Fixture f;
        f.engines->setJob("/in/old.avi", FakeJobPlan::Hang);
        f.addJobs({"/in/old.avi"});
        QVERIFY(QDir(f.dir.path()).mkdir("sub"));
        QList<QUrl> urls;
        for (const QString &name : files) {
            const QString path = f.dir.filePath(name);
            if (name != "sub")
                QVERIFY(test::writeFile(path, "/in/x.avi;/out/x.wmv;P;\r\n/in/y.avi;/out/y.wmv;P;\r\n"));
            urls << QUrl::fromLocalFile(path);
        }
        for (QString &input : inputs)
            if (!input.startsWith('/'))
                input = f.dir.filePath(input);
        f.get<QComboBox>("CmbProfile")->setCurrentText("MP4 H.264 720p");
        if (running)
            f.click("CmdStart");
        QMimeData data;
        data.setUrls(urls);
        auto *view = f.get<QTreeView>("LvwJoblet");
        // Qt delivers a drop only where the drag's entry was accepted.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(view->viewport(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(view->viewport(), &event);
        QCOMPARE(event.isAccepted(), inputs.size() != 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        QCOMPARE(f.inputs(), inputs);
        QCOMPARE(f.ui.texts().join(""), message);
        if (inputs.size() == 3) // named for the window's profile, never as the input itself
            QCOMPARE(f.list().item(3).outputFile + ' ' + f.list().item(3).profile, f.dir.filePath("b_1.mp4 MP4 H.264 720p"));
        if (running)
            f.window.CmdStop_Click();
    }
};

QTEST_MAIN(Tst_EditCommands)
#include "tst_editcommands.moc"
