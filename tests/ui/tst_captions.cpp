#include "WindowFixture.h"

#include "app/Translations.h"
#include "ui/FrmAddFiles.h"
#include "ui/FrmReport.h"
#include "ui/JobProgressPage.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTranslator>

using namespace joblet;

namespace {

QString withoutKeys(QString caption)
{
    return caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// Each caption of `window` that its control cannot show whole, with the
// pixels it lacks; each named control that assistive tools cannot name, or
// that names a label otherwise than by what it shows.
QStringList cutCaptions(QWidget *window)
{
    QStringList cut;
    auto check = [&cut](QWidget *w, const QString &caption, int room) {
        const QFontMetrics fm(w->font());
        int needed = 0;
        for (const QString &line : withoutKeys(caption).trimmed().split(u'\n'))
            needed = qMax(needed, fm.horizontalAdvance(line));
        if (needed > room)
            cut << QStringLiteral("%1 \"%2\": %3 > %4").arg(w->objectName(), caption).arg(needed).arg(room);
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window))
            continue;
        if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_") && !w->isWindow()) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            const QString name = a ? a->text(QAccessible::Name) : QString();
            auto *label = qobject_cast<QLabel *>(w);
            if (name.isEmpty() || name.contains('&') || (label && name != withoutKeys(label->text())))
                cut << w->objectName() + " is named \"" + name + '"';
        }
        // Where the style draws each kind of caption.
        if (auto *push = qobject_cast<QPushButton *>(w)) {
            QStyleOptionButton option;
            option.initFrom(push);
            option.features = push->isDefault() ? QStyleOptionButton::DefaultButton : QStyleOptionButton::None;
            check(push, push->text(), push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width());
        } else if (auto *tool = qobject_cast<QToolButton *>(w)) {
            const int frame = tool->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tool);
            check(tool, tool->text(), tool->contentsRect().width() - 2 * frame);
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->wordWrap())
                check(label, label->text(), label->contentsRect().width() - qMax(0, label->indent()));
        } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxLabel;
            const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                               QStyle::SC_GroupBoxLabel, group);
            check(group, group->title(), group->contentsRect().right() - title.left());
        }
    }
    return cut;
}

} // namespace

class Tst_Captions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every window at its size at opening, in each language it speaks: its
    // captions whole, its controls named.
    void everyCaptionFits_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("language");
        for (const char *language : {"en", "de"})
            for (const char *window : {"main", "add", "report", "progress"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(window, language)))
                    << QString(window) << QString(language);
    }
    void everyCaptionFits()
    {
        QFETCH(QString, window);
        QFETCH(QString, language);
        QTranslator translator;
        if (language != "en") {
            QVERIFY(translator.load(QLocale(language), "joblet", "_", Translations::resourceFolder()));
            QCoreApplication::installTranslator(&translator);
        }
        // Built after the translator, as the program builds them.
        WindowFixture main;
        std::unique_ptr<QWidget> shownWindow;
        if (window == "main") {
            main.addJobs({"/in/a.avi"});
        } else if (window == "add") {
            auto *add = new FrmAddFiles(main.engines.factory(), main.ui);
            add->Form_Load();
            shownWindow.reset(add);
        } else if (window == "report") {
            auto *report = new FrmReport(&main.window);
            report->setAttribute(Qt::WA_DeleteOnClose, false);
            report->setStartTime("10:42:07 PM");
            report->setEndTime("11:58:31 PM");
            shownWindow.reset(report);
        } else {
            auto *page = new JobProgressPage(main.tc.clock);
            page->resize(main.get("PropMain")->size());
            shownWindow.reset(page);
        }
        QWidget *w = shownWindow ? shownWindow.get() : &main.window;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QStringList cut = cutCaptions(w);
        QCoreApplication::removeTranslator(&translator);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
    }
};

QTEST_MAIN(Tst_Captions)
#include "tst_captions.moc"
