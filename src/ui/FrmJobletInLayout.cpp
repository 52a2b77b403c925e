// Building and placing the main window's widgets; its handlers live in
// FrmJobletIn.cpp.
#include "FrmJobletIn.h"
#include "Twips.h"

#include "ListColumns.h"
#include "ListCommands.h"
#include "ListDrop.h"
#include "PropertyPageHost.h"

#include "batch/BatchList.h"
#include "encoding/ProfileCatalogue.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace joblet {

namespace {

QString withoutAccessKey(QString caption)
{
    return caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
}

// The schedule button's clock, drawn so it looks the same on every desktop.
QIcon clockIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(250, 250, 235));
    p.drawEllipse(QRectF(3, 3, 26, 26));
    p.drawLine(QPointF(16, 16), QPointF(16, 8));
    p.drawLine(QPointF(16, 16), QPointF(22, 19));
    return QIcon(pixmap);
}

// The drop-highlight row keeps the job marked while the focus is elsewhere,
// where the selection colour fades.
class HighlightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!index.data(BatchList::HighlightRole).toBool())
            return;
        option->font.setBold(true);
        option->fontMetrics = QFontMetrics(option->font);
        option->backgroundBrush = option->palette.color(QPalette::Active, QPalette::Highlight).lighter(170);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() != BatchList::InputColumn && index.column() != BatchList::OutputColumn) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget *view = opt.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        // The style draws the text inside these margins and would cut it again.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view).width() - 2 * margin;
        opt.text = elidePath(opt.text, opt.fontMetrics, room);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);
    }
};

// A translated caption longer than its place grows towards the left, where
// the group has room, and stays next to the list it names.
void growLeft(QLabel *label)
{
    const int right = label->geometry().right();
    const int width = std::max(label->width(), label->sizeHint().width());
    label->setGeometry(right + 1 - width, label->y(), width, label->height());
}

} // namespace

void FrmJobletIn::createContainers()
{
    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setAccessibleName(tr("Jobs"));
    place(Picture2, 0, 0, 7095, 7695);

    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(tr("Commands"));
    place(Picture1, 9240, 0, 2940, 7695);

    picButtons = new QWidget(Picture1);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    picButtons->setAccessibleName(tr("List commands"));
    place(picButtons, 150, 30, 2760, 4470);

    Frame1 = new QGroupBox(tr("Timed Session "), Picture1);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(tr("Timed Session"));
    place(Frame1, 150, 4545, 2760, 2055);

    StaEncoderStat = new QStatusBar(this);
    StaEncoderStat->setObjectName(QStringLiteral("StaEncoderStat"));
    StaEncoderStat->setAccessibleName(tr("Encoder status"));
    StaEncoderStat->setSizeGripEnabled(false);
    // A permanent label rather than showMessage(): status tips must not wipe it.
    m_statusText = new QLabel(tr("Encoder Stopped"), StaEncoderStat);
    m_statusText->setAccessibleDescription(tr("Encoder status"));
    StaEncoderStat->addWidget(m_statusText, 1);
    place(StaEncoderStat, 0, 7695, 12180, 300);
}

void FrmJobletIn::createList()
{
    LvwJoblet = new QTreeView(Picture2);
    LvwJoblet->setObjectName(QStringLiteral("LvwJoblet"));
    LvwJoblet->setAccessibleName(tr("Jobs"));
    LvwJoblet->setRootIsDecorated(false);
    LvwJoblet->setUniformRowHeights(true);
    LvwJoblet->setItemsExpandable(false);
    LvwJoblet->setSelectionMode(QAbstractItemView::SingleSelection);
    LvwJoblet->setSelectionBehavior(QAbstractItemView::SelectRows);
    LvwJoblet->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LvwJoblet->setItemDelegate(new HighlightDelegate(LvwJoblet));
    // Paths are cut in their folder by the delegate; the other columns at their end.
    LvwJoblet->setTextElideMode(Qt::ElideRight);
    LvwJoblet->header()->setStretchLastSection(false);
    LvwJoblet->setModel(m_list);
    LvwJoblet->viewport()->installEventFilter(this);
    place(LvwJoblet, 0, 0, 7110, 4455);
    connect(m_list, &BatchList::selectedRowChanged, this, &FrmJobletIn::List_SelectedRowChanged);
    connect(LvwJoblet->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &FrmJobletIn::LvwJoblet_CurrentRowChanged);

    PropMain = new PropertyPageHost(Picture2);
    PropMain->setAccessibleName(tr("Encoder properties"));
    place(PropMain, 0, 4560, 6975, 3015);

    CmbProfile = new QComboBox(Picture2);
    CmbProfile->setObjectName(QStringLiteral("CmbProfile"));
    CmbProfile->setAccessibleName(tr("Profile"));
    place(CmbProfile, 1605, 5475, 2310, 315);
    CmbProfile->hide();
}

void FrmJobletIn::createButtons()
{
    struct ButtonDesign {
        QToolButton *&button;
        const char *name;
        QString caption;
        QString tip;
        QWidget *container;
        int left, top, width, height;
        const char *theme;
        QStyle::StandardPixmap fallback;
    };
    const ButtonDesign buttons[] = {
        {CmdAdd, "CmdAdd", tr("A&dd"), tr("Add media to the list"), picButtons, 0, 0, 1335, 1080,
         "list-add", QStyle::SP_FileDialogNewFolder},
        {CmdRemove, "CmdRemove", tr("&Remove"), tr("Remove media from the list"), picButtons, 1410, 0,
         1335, 1080, "list-remove", QStyle::SP_DialogDiscardButton},
        {CmdRemoveAll, "CmdRemoveAll", tr("Remove &All"), tr("Remove all media from the list"), picButtons,
         1410, 1125, 1335, 1080, "edit-delete", QStyle::SP_TrashIcon},
        {CmdClearResults, "CmdClearResults", tr("&Clear Results"), tr("Clear the results"), picButtons, 0,
         1110, 1335, 1080, "edit-clear", QStyle::SP_DialogResetButton},
        {CmdLoad, "CmdLoad", tr("&Load"), tr("Load a joblet file"), picButtons, 0, 2250, 1335, 1080,
         "document-open", QStyle::SP_DialogOpenButton},
        {CmdSave, "CmdSave", tr("Sa&ve"), tr("Save the list to a joblet file"), picButtons, 1410, 2250,
         1335, 1080, "document-save", QStyle::SP_DialogSaveButton},
        {CmdStart, "CmdStart", tr("&Start"), tr("Start encoding the list"), picButtons, 0, 3375, 1335,
         1080, "media-playback-start", QStyle::SP_MediaPlay},
        {CmdStop, "CmdStop", tr("S&top"), tr("Stop encoding"), picButtons, 1410, 3375, 1335, 1080,
         "media-playback-stop", QStyle::SP_MediaStop},
        {CmdExit, "CmdExit", tr("E&xit"), QString(), Picture1, 150, 6735, 2745, 900,
         "application-exit", QStyle::SP_DialogCloseButton},
    };
    for (const ButtonDesign &s : buttons) {
        auto *b = new QToolButton(s.container);
        b->setObjectName(QLatin1String(s.name));
        b->setText(s.caption);
        b->setToolTip(s.tip);
        b->setAccessibleName(withoutAccessKey(s.caption));
        b->setIcon(QIcon::fromTheme(QLatin1String(s.theme), style()->standardIcon(s.fallback)));
        b->setIconSize(QSize(24, 24));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFocusPolicy(Qt::StrongFocus);
        place(b, s.left, s.top, s.width, s.height);
        s.button = b;
    }
    m_commands = std::make_unique<ListCommands>(
        *m_list, *m_control, m_context.dialogs, ListCommands::Controls{this, LvwJoblet, CmdAdd, CmdRemove, CmdRemoveAll,
                                        CmdClearResults, CmdSave, CmdStart});
    // Drops are refused while a run reads the list, as Add is.
    LvwJoblet->viewport()->setAcceptDrops(true);
    LvwJoblet->viewport()->installEventFilter(new ListDrop(
        *m_commands, [this] { return m_control->state() == RunControl::State::Running; },
        [this] { return chosenProfile(); },
        this));
    connect(CmdAdd, &QToolButton::clicked, this, &FrmJobletIn::CmdAdd_Click);
    connect(CmdRemove, &QToolButton::clicked, this, &FrmJobletIn::CmdRemove_Click);
    connect(CmdRemoveAll, &QToolButton::clicked, this, &FrmJobletIn::CmdRemoveAll_Click);
    connect(CmdClearResults, &QToolButton::clicked, this, &FrmJobletIn::CmdClearResults_Click);
    connect(CmdSave, &QToolButton::clicked, this, &FrmJobletIn::CmdSave_Click);
    connect(CmdLoad, &QToolButton::clicked, this, &FrmJobletIn::CmdLoad_Click);
    connect(CmdStart, &QToolButton::clicked, this, &FrmJobletIn::CmdStart_Click);
    connect(CmdStop, &QToolButton::clicked, this, &FrmJobletIn::CmdStop_Click);
    connect(CmdExit, &QToolButton::clicked, this, &FrmJobletIn::CmdExit_Click);
}

void FrmJobletIn::createTimedSessionGroup()
{
    // The group's places were drawn for a small dialog font.
    QFont small = Frame1->font();
    small.setPointSizeF(qMin(small.pointSizeF(), 7.5));
    Frame1->setFont(small);
    auto label = [this](const char *name, const QString &text, Qt::Alignment align) {
        auto *l = new QLabel(text, Frame1);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(align | Qt::AlignVCenter);
        return l;
    };
    Label2 = label("Label2", tr("SystemTime:"), Qt::AlignRight);
    place(Label2, 180, 285, 1350, 195);
    lblSysTime = label("lblSysTime", QStringLiteral("00:00:00"), Qt::AlignLeft);
    // A label's accessible name is the text it shows, announced as it
    // changes; what it is for goes into the description.
    lblSysTime->setAccessibleDescription(tr("Time of day, or the time left before a timed session"));
    place(lblSysTime, 1575, 300, 1080, 195);
    Label1 = label("Label1", tr("Start Time:"), Qt::AlignLeft);
    place(Label1, 330, 630, 765, 195);
    growLeft(Label1);
    lblTimerStatus = label("lblTimerStatus", tr("The timer is not running"),
                           Qt::AlignHCenter);
    lblTimerStatus->setAccessibleDescription(tr("Timer status"));
    place(lblTimerStatus, 210, 930, 2400, 195);

    auto list = [this](const char *name, const QString &tip) {
        auto *box = new QComboBox(Frame1);
        box->setObjectName(QLatin1String(name));
        box->setToolTip(tip);
        box->setAccessibleName(tip);
        return box;
    };
    lstHour = list("lstHour", tr("Select the start hour"));
    place(lstHour, 1155, 615, 600, 225);
    lstMinute = list("lstMinute", tr("Select the start minute"));
    place(lstMinute, 1710, 615, 660, 225);

    Command1 = new QToolButton(Frame1);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(tr("Schedule"));
    // Only a picture: the tip and the description say what a click does.
    Command1->setToolTip(tr("Encode the list at the start time chosen above, or cancel that schedule"));
    Command1->setAccessibleDescription(Command1->toolTip());
    Command1->setIcon(clockIcon());
    Command1->setIconSize(QSize(32, 32));
    Command1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Command1->setFocusPolicy(Qt::StrongFocus);
    place(Command1, 105, 1320, 2550, 630);
    connect(Command1, &QToolButton::clicked, this, &FrmJobletIn::Command1_Click);
}

void FrmJobletIn::createTimers()
{
    auto timer = [this](const char *name, int ms) {
        auto *t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(ms);
        return t;
    };
    Timer1 = timer("Timer1", 1000);
    Timer2 = timer("Timer2", 1000);
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer3 = timer("Timer3", 5000);
    connect(Timer1, &QTimer::timeout, this, &FrmJobletIn::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &FrmJobletIn::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &FrmJobletIn::Timer3_Timer);
    Timer1->start();
    Timer3->start();
}

void FrmJobletIn::setFocusOrder()
{
    // Labels and panels take no focus, and Qt ignores a tab order set on
    // them; the panel's place goes to its first control that takes focus.
    QWidget *panel = PropMain;
    for (QWidget *child : PropMain->findChildren<QWidget *>()) {
        if (child->focusPolicy() & Qt::TabFocus) {
            panel = child;
            break;
        }
    }
    QWidget *order[] = {CmdAdd,   CmdRemove, CmdRemoveAll, CmdClearResults, CmdLoad,
                        CmdSave,  CmdStart,  CmdStop,      lstMinute,       lstHour,
                        Command1, CmdExit,   panel,        LvwJoblet,       CmbProfile};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}


void FrmJobletIn::Form_Resize()
{
    // The minimum size keeps the window from shrinking below its designed
    // minimum, so only the panels follow here.
    const int statusHeight = px(300);
    const int panelHeight = qMax(0, height() - statusHeight);
    StaEncoderStat->setGeometry(0, panelHeight, width(), statusHeight);
    Picture1->setGeometry(width() - Picture1->width(), 0, Picture1->width(), panelHeight);
    Picture2->setGeometry(0, 0, qMax(0, width() - Picture1->width()), panelHeight);

    LvwJoblet->resize(qMax(0, Picture2->width() - px(180)), LvwJoblet->height());
    PropMain->resize(qMax(0, Picture2->width() - px(180)),
                     qMax(0, Picture2->height() - LvwJoblet->y() - LvwJoblet->height()
                                 - StaEncoderStat->height() + px(90)));
    CmdExit->move(CmdExit->x(), Picture1->height() - CmdExit->height() - px(120));
}

void FrmJobletIn::FillCombo()
{
    const ProfileChoice choice = profileChoice(m_context.engines, m_context.lastProfile.name());
    CmbProfile->clear();
    CmbProfile->addItems(choice.names);
    CmbProfile->setCurrentText(choice.current);
}

void FrmJobletIn::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FrmJobletIn::List_SelectedRowChanged(int number)
{
    QItemSelectionModel *selection = LvwJoblet->selectionModel();
    if (number == 0) {
        selection->clear();
        return;
    }
    selection->setCurrentIndex(m_list->index(number - 1, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void FrmJobletIn::LvwJoblet_CurrentRowChanged()
{
    const QModelIndex current = LvwJoblet->selectionModel()->currentIndex();
    const int number = current.isValid() ? current.row() + 1 : 0;
    // While rows go away the view may name a row the list no longer has.
    if (number <= m_list->count())
        m_list->setSelectedRow(number);
}

} // namespace joblet
