#include "FakeEncoderEngine.h"
#include "FakeUiServices.h"

#include "batch/BatchList.h"
#include "batch/BatchListFile.h"
#include "encoding/ProfileCatalogue.h"
#include "schedule/Clock.h"
#include "ui/FrmJobletIn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

Q_DECLARE_METATYPE(joblet::UiServices::AddItemEntry)

using namespace joblet;

namespace {

class FixedClock : public Clock {
public:
    FixedClock() { setInstance(this); }
    ~FixedClock() override { setInstance(nullptr); }
    QDateTime now() const override { return QDateTime(QDate(2024, 3, 14), QTime(9, 5, 30)); }
};

// The buttons the list commands enable, in the order they enable them.
const QStringList listButtons = {"CmdRemove", "CmdRemoveAll", "CmdClearResults", "CmdSave",
                                 "CmdStart"};

const QStringList jobletFilter = {"Joblet Files (*.jlt) (*.jlt)"};

BatchItem job(const QString &input, const QString &result = {})
{
    return BatchItem{input, input + ".wmv", "Profile " + input, result, {}};
}

struct Fixture {
    FakeUiServices ui;
    FixedClock clock;
    FakeEngineInstaller engines;
    FrmJobletIn window;
    QTemporaryDir dir;

    Fixture() { window.Form_Load(); }

    BatchList &list() { return window.list(); }
    QToolButton *button(const QString &name) const
    {
        auto *b = window.findChild<QToolButton *>(name);
        if (!b)
            qWarning("no button %s", qPrintable(name));
        return b;
    }
    // As the user would, which needs the button enabled.
    void click(const QString &name)
    {
        button(name)->setEnabled(true);
        button(name)->click();
    }

    // The enabled buttons of the panel, in the panel's order.
    QStringList enabledButtons() const
    {
        QStringList on;
        for (const char *name : {"CmdAdd", "CmdRemove", "CmdRemoveAll", "CmdClearResults",
                                 "CmdLoad", "CmdSave", "CmdStart", "CmdStop"})
            if (button(name)->isEnabled())
                on << name;
        return on;
    }

    void addJobs(const QStringList &inputs)
    {
        for (const QString &input : inputs)
            list().append(job(input));
    }
    QStringList inputs()
    {
        QStringList result;
        for (int i = 1; i <= list().count(); ++i)
            result << list().item(i).inputFile;
        return result;
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    void writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    void expectMessage(const QString &text, UiServices::Icon icon, const QString &title = {})
    {
        QCOMPARE(ui.texts(), QStringList{text});
        const auto &m = ui.messages.first();
        QCOMPARE(m.icon, icon);
        QCOMPARE(m.title, title);
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

QString errorTitle(qint32 number)
{
    return "Error-" + QString::number(number);
}

} // namespace

class Tst_EditCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // --- filter texts ---------------------------------------------------------

    void qtFilters_data()
    {
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("the window's filter") << "Joblet Files (*.jlt) | *.jlt" << jobletFilter;
        QTest::newRow("several patterns, two pairs")
            << "Media(*.avi)|*.avi; *.wmv |Other|*.c"
            << QStringList{"Media(*.avi) (*.avi *.wmv)", "Other (*.c)"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("description without patterns") << "All|*.*|Dangling"
                                                      << QStringList{"All (*.*)"};
    }
    void qtFilters()
    {
        QFETCH(QString, pairs);
        QFETCH(QStringList, filters);
        QCOMPARE(UiServices::qtFilters(pairs), filters);
    }

    // --- button table ---------------------------------------------------------

    // From the state after start-up, with the clicked button enabled.
    void buttonTable_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("entered");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("Add confirmed")
            << "CmdAdd" << true << 0
            << QStringList{"CmdAdd",  "CmdRemove", "CmdRemoveAll", "CmdClearResults",
                           "CmdLoad", "CmdSave",   "CmdStart"};
        QTest::newRow("Add cancelled") << "CmdAdd" << false << 0
                                       << QStringList{"CmdAdd", "CmdLoad"};
        QTest::newRow("Remove the last row") << "CmdRemove" << false << 1
                                             << QStringList{"CmdAdd", "CmdRemove", "CmdLoad"};
        QTest::newRow("Remove All") << "CmdRemoveAll" << false << 3
                                    << QStringList{"CmdAdd", "CmdRemoveAll", "CmdLoad"};
        QTest::newRow("Clear Results")
            << "CmdClearResults" << false << 2
            << QStringList{"CmdAdd", "CmdClearResults", "CmdLoad", "CmdStart"};
    }
    void buttonTable()
    {
        QFETCH(QString, button);
        QFETCH(bool, entered);
        QFETCH(int, rows);
        QFETCH(QStringList, enabled);
        Fixture f;
        for (int i = 0; i < rows; ++i)
            f.list().append(job(QString("/in/%1.avi").arg(i)));
        f.list().setSelectedRow(rows);
        if (entered)
            f.ui.addItemAnswers << UiServices::AddItemEntry{"/in/a.avi", "/out/a.wmv", "P"};

        f.click(button);
        QCOMPARE(f.enabledButtons(), enabled);
        QVERIFY(f.ui.messages.isEmpty());
    }

    // --- Add ------------------------------------------------------------------

    void addStoresTrimmedTexts_data()
    {
        QTest::addColumn<UiServices::AddItemEntry>("entry");
        QTest::addColumn<QStringList>("row");
        QTest::newRow("trimmed")
            << UiServices::AddItemEntry{"  /in/a.avi ", " /out/a.wmv", " My Profile  "}
            << QStringList{"/in/a.avi", "/out/a.wmv", "My Profile"};
        QTest::newRow("output named from the input")
            << UiServices::AddItemEntry{" /in/clip.avi", "None", DefaultProfileName}
            << QStringList{"/in/clip.avi", "/in/clip.wmv", DefaultProfileName};
        // Not empty before trimming, so it is added, as an empty text.
        QTest::newRow("input of blanks only")
            << UiServices::AddItemEntry{"   ", "/out/x.wmv", "P"}
            << QStringList{"", "/out/x.wmv", "P"};
        QTest::newRow("only spaces are trimmed")
            << UiServices::AddItemEntry{"\t/in/a.avi ", "/out/a.wmv", "P"}
            << QStringList{"\t/in/a.avi", "/out/a.wmv", "P"};
    }
    void addStoresTrimmedTexts()
    {
        QFETCH(UiServices::AddItemEntry, entry);
        QFETCH(QStringList, row);
        Fixture f;
        f.addJobs({"/in/first.avi"});
        f.ui.addItemAnswers << entry;
        f.click("CmdAdd");

        QCOMPARE(f.ui.addItemCalls, 1);
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.list().count(), 2);
        const BatchItem &added = f.list().item(2);
        QCOMPARE(QStringList({added.inputFile, added.outputFile, added.profile}), row);
        QVERIFY(added.result.isEmpty());
        QCOMPARE(f.list().selectedRow(), 1);
        QCOMPARE(f.list().highlightedRow(), 1);
    }

    void addWithFailingRow()
    {
        Fixture f;
        f.engines->setSourceFailure("/in/broken.avi", EngineError::FileNotFound);
        f.ui.addItemAnswers << UiServices::AddItemEntry{"/in/broken.avi", "None", "P"};
        f.click("CmdAdd");

        f.expectMessage("Error Populating the list", UiServices::Icon::None);
        QCOMPARE(f.list().count(), 0);
        for (const QString &name : listButtons)
            QVERIFY2(f.button(name)->isEnabled(), qPrintable(name));
    }

    void addCancelledFocusesAdd()
    {
        Fixture f;
        f.addJobs({"/in/a.avi"});
        f.window.show();
        f.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        auto *view = f.window.findChild<QTreeView *>("LvwJoblet");
        view->setFocus();
        QVERIFY(view->hasFocus());

        f.click("CmdAdd");
        QCOMPARE(f.ui.addItemCalls, 1);
        QVERIFY(f.button("CmdAdd")->hasFocus());
        QCOMPARE(f.inputs(), QStringList{"/in/a.avi"});
        QVERIFY(f.ui.messages.isEmpty());
    }

    // --- Remove and Remove All ------------------------------------------------

    void removeSelectedRow()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        f.list().setSelectedRow(2);
        f.click("CmdRemove");
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/c.avi"}));
        QVERIFY(f.ui.messages.isEmpty());
    }

    void removeWithoutSelection()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        f.list().setHighlightedRow(2); // highlighted is not selected
        f.click("CmdRemove");
        f.expectMessage("Error Removing Selected Entry From List", UiServices::Icon::Exclamation);
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi"}));
    }

    void removeOnEmptyList_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Remove") << "CmdRemove";
        QTest::newRow("Remove All") << "CmdRemoveAll";
    }
    void removeOnEmptyList()
    {
        QFETCH(QString, command);
        Fixture f;
        f.click(command);
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.list().count(), 0);
    }

    void removeAllEmptiesList()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi", "/in/c.avi"});
        f.list().setSelectedRow(3);
        f.list().setHighlightedRow(2);
        f.click("CmdRemoveAll");
        QCOMPARE(f.list().count(), 0);
        QCOMPARE(f.list().selectedRow(), 0);
        QCOMPARE(f.list().highlightedRow(), 0);
        QVERIFY(f.ui.messages.isEmpty());
    }

    // --- Clear Results --------------------------------------------------------

    void clearResultsOnEmptyList()
    {
        Fixture f;
        f.click("CmdClearResults");
        f.expectMessage("Nothing to clear", UiServices::Icon::None);
        QVERIFY(f.button("CmdStart")->isEnabled());
    }

    void clearResultsOnMixedRows()
    {
        Fixture f;
        f.list().append(QList<BatchItem>{job("/in/a.avi", "Done"), job("/in/b.avi"),
                                         job("/in/c.avi", "Error:A04B0007")});
        f.list().setResultDetail(3, "cannot decode");
        f.click("CmdClearResults");

        QVERIFY(f.ui.messages.isEmpty());
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(f.list().cell(i, "Result").isEmpty());
            QVERIFY(f.list().item(i).resultDetail.isEmpty());
        }
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi", "/in/c.avi"}));
        QVERIFY(f.button("CmdStart")->isEnabled());
    }

    // --- Save and Load (through the list file) --------------------------------

    void saveThenLoad()
    {
        Fixture f;
        f.list().append(QList<BatchItem>{job("/in/a.avi", "Done"), job("/in/b.avi"),
                                         job("/in/c.avi", "Error:1")});
        const QString file = f.path("list.jlt");
        f.ui.fileAnswers << file;
        f.click("CmdSave");
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(QFile::exists(file));
        QCOMPARE(f.list().count(), 3); // saving leaves the list alone

        // Something else in the list, which the load replaces.
        f.list().removeAll();
        f.addJobs({"/in/other.avi"});
        f.list().setSelectedRow(1);
        for (const QString &name : listButtons)
            f.button(name)->setEnabled(false);
        f.ui.fileAnswers << file;
        f.click("CmdLoad");

        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi", "/in/c.avi"}));
        for (int i = 1; i <= 3; ++i) {
            const BatchItem &row = f.list().item(i);
            QCOMPARE(row.outputFile, row.inputFile + ".wmv");
            QCOMPARE(row.profile, "Profile " + row.inputFile);
            QVERIFY(row.result.isEmpty());
        }
        // Highlighted, not selected.
        QCOMPARE(f.list().highlightedRow(), 1);
        QCOMPARE(f.list().selectedRow(), 0);
        auto *view = f.window.findChild<QTreeView *>("LvwJoblet");
        QVERIFY(!view->selectionModel()->hasSelection());
        for (const QString &name : listButtons)
            QVERIFY2(f.button(name)->isEnabled(), qPrintable(name));

        QCOMPARE(f.ui.dialogs.size(), 2);
        const auto &save = f.ui.dialogs.at(0);
        QVERIFY(save.save);
        QCOMPARE(save.dialog.title, QString("Save File"));
        QCOMPARE(save.dialog.filters, jobletFilter);
        QVERIFY(save.dialog.fileName.isEmpty());
        QVERIFY(!save.dialog.mustExist);
        const auto &load = f.ui.dialogs.at(1);
        QVERIFY(!load.save);
        QCOMPARE(load.dialog.title, QString("Input File"));
        QCOMPARE(load.dialog.filters, jobletFilter);
        QVERIFY(load.dialog.fileName.isEmpty());
        QVERIFY(load.dialog.mustExist);
    }

    void cancelledDialog_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Save") << "CmdSave";
        QTest::newRow("Load") << "CmdLoad";
    }
    void cancelledDialog()
    {
        QFETCH(QString, command);
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        f.button(command)->setEnabled(true);
        const QStringList buttons = f.enabledButtons();
        f.click(command); // no answer queued: cancelled
        QCOMPARE(f.ui.dialogs.size(), 1);
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi"}));
        QCOMPARE(f.enabledButtons(), buttons);
        QVERIFY(f.ui.messages.isEmpty());
        QVERIFY(QDir(f.dir.path()).isEmpty());
    }

    void loadStopsAtBadLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("second line with two ';'")
            << QByteArray("/in/a.avi;/out/a.wmv;P;\r\n/in/b.avi;/out/b.wmv\r\n/in/c.avi;o;P;\r\n")
            << QStringList{"/in/a.avi"};
        QTest::newRow("empty last line")
            << QByteArray("/in/a.avi;o;P;\r\n/in/b.avi;o;P;\r\n\r\n")
            << QStringList{"/in/a.avi", "/in/b.avi"};
        QTest::newRow("bad first line") << QByteArray("nothing here\r\n") << QStringList{};
    }
    void loadStopsAtBadLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, kept);
        Fixture f;
        f.addJobs({"/in/old.avi"});
        f.writeFile("bad.jlt", content);
        f.ui.fileAnswers << f.path("bad.jlt");
        f.click("CmdLoad");

        f.expectMessage("Error Loading Saved Configuration", UiServices::Icon::Critical,
                        errorTitle(BatchListFile::BadLine));
        QCOMPARE(f.inputs(), kept);
        QCOMPARE(f.list().highlightedRow(), 0);
        QCOMPARE(f.enabledButtons(), QStringList({"CmdAdd", "CmdLoad"}));
    }

    void loadMissingFileKeepsList()
    {
        Fixture f;
        f.addJobs({"/in/a.avi", "/in/b.avi"});
        f.list().setSelectedRow(2);
        f.ui.fileAnswers << f.path("missing.jlt");
        f.click("CmdLoad");

        f.expectMessage("Error Loading Saved Configuration", UiServices::Icon::Critical,
                        errorTitle(BatchListFile::CannotOpen));
        QCOMPARE(f.inputs(), QStringList({"/in/a.avi", "/in/b.avi"}));
        QCOMPARE(f.list().selectedRow(), 2);
        QCOMPARE(f.enabledButtons(), QStringList({"CmdAdd", "CmdLoad"}));
    }

    void loadEmptyFile()
    {
        Fixture f;
        f.addJobs({"/in/a.avi"});
        f.writeFile("empty.jlt", {});
        f.ui.fileAnswers << f.path("empty.jlt");
        f.click("CmdLoad");
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.list().count(), 0);
        QCOMPARE(f.enabledButtons(), QStringList({"CmdAdd", "CmdLoad"}));
    }

    void loadFullList()
    {
        Fixture f;
        QByteArray content;
        for (int i = 1; i <= BatchList::MaxRows; ++i)
            content += "/in/" + QByteArray::number(i) + ".avi;/out/x.wmv;P;\r\n";
        f.writeFile("full.jlt", content);
        f.ui.fileAnswers << f.path("full.jlt");
        f.click("CmdLoad");
        QVERIFY(f.ui.messages.isEmpty());
        QCOMPARE(f.list().count(), BatchList::MaxRows);
        QCOMPARE(f.list().item(BatchList::MaxRows).inputFile, QString("/in/32767.avi"));
        QCOMPARE(f.list().highlightedRow(), 1);
    }

    void saveFailure()
    {
        Fixture f;
        f.addJobs({"/in/a.avi"});
        f.button("CmdSave")->setEnabled(true);
        const QStringList buttons = f.enabledButtons();
        f.ui.fileAnswers << f.path("no/such/folder/list.jlt");
        f.click("CmdSave");
        f.expectMessage("Error Saving List Entries", UiServices::Icon::Critical,
                        errorTitle(BatchListFile::CannotWrite));
        QCOMPARE(f.inputs(), QStringList{"/in/a.avi"});
        QCOMPARE(f.enabledButtons(), buttons);
    }
};

QTEST_MAIN(Tst_EditCommands)
#include "tst_editcommands.moc"
