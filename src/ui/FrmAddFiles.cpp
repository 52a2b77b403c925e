#include "FrmAddFiles.h"
#include "Twips.h"

#include "UiServices.h"

#include "encoding/EncoderFailure.h"
#include "encoding/EngineFactory.h"
#include "encoding/ProfileCatalogue.h"
#include "encoding/ProfileNarrowing.h"
#include "batch/OutputNaming.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace joblet {

namespace {

// Description and patterns, in pairs separated by '|'.
const char *const InputFilter = QT_TRANSLATE_NOOP(
    "joblet::FrmAddFiles",
    "Video Files(*.asf,*.avi,*.bmp,*.mpg,*.wmv)|*.asf;*.avi;*.bmp;*.mpg;*.wmv|"
    "Audio Files(*.asf,*.avi,*.mp3,*.mpg,*.wav,*.wma)|*.asf;*.avi;*.mp3;*.mpg;*.wav;*.wma");
const char *const OutputFilter = QT_TRANSLATE_NOOP(
    "joblet::FrmAddFiles",
    "Qimto Media  files(*.wmv;*.wma)|*.wmv;*.wma|Qimto Media  video files(*.wmv)|*.wmv|"
    "Qimto Media  audio files(*.wma)|*.wma|Qimto Media (*.asf)|*.asf");

// A blank typed into an empty box is taken back at once; blanks elsewhere stay.
void guardLeadingBlank(QLineEdit *box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
        if (text == QLatin1String(" "))
            box->clear();
    });
}

// The profile's settings by name; nullopt when none.
std::optional<ProfileSettings> settingsOf(const EngineFactory &engines, const QString &name)
{
    try {
        if (const std::optional<EncoderProfile> p = engines.catalogue().find(name))
            return p->settings();
    } catch (...) {
    }
    return std::nullopt;
}

QString proposalFor(const EngineFactory &engines, const QString &input, const QString &profile)
{
    const std::optional<ProfileSettings> p = settingsOf(engines, profile);
    return p ? OutputNaming::fromBrowse(input, *p) : OutputNaming::fromBrowse(input);
}

} // namespace

FrmAddFiles::FrmAddFiles(const EngineFactory &engines, UiServices &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_engines(engines)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FrmAddFiles"));
    setWindowTitle(tr("Add Batch Items"));
    setAccessibleName(windowTitle());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(px(7920), px(3045));
    setModal(true);

    auto named = [](QWidget *w, const char *name, const QString &accessible) {
        w->setObjectName(QLatin1String(name));
        w->setAccessibleName(accessible);
    };

    FraInput = new QGroupBox(tr("INPUT"), this);
    named(FraInput, "FraInput", tr("INPUT"));
    place(FraInput, 0, 240, 7815, 2055);

    LblInput = new QLabel(tr("&Input File :"), FraInput);
    named(LblInput, "LblInput", tr("Input File :"));
    place(LblInput, 240, 240, 975, 375);
    TxtInput = new QLineEdit(FraInput);
    named(TxtInput, "TxtInput", tr("Input File"));
    place(TxtInput, 1200, 240, 5055, 315);
    LblInput->setBuddy(TxtInput);

    LblOutput = new QLabel(tr("&Output File :"), FraInput);
    named(LblOutput, "LblOutput", tr("Output File :"));
    place(LblOutput, 240, 840, 975, 375);
    TxtOutput = new QLineEdit(FraInput);
    named(TxtOutput, "TxtOutput", tr("Output File"));
    place(TxtOutput, 1200, 840, 5055, 315);
    LblOutput->setBuddy(TxtOutput);

    // One click handler for both, told which row the button sits on.
    for (int i = 0; i < 2; ++i) {
        CmdBrowse[i] = new QPushButton(tr("Browse"), FraInput);
        named(CmdBrowse[i], i == 0 ? "CmdBrowse_0" : "CmdBrowse_1", tr("Browse"));
        CmdBrowse[i]->setAccessibleDescription(i == 0 ? tr("Browse for the input file")
                                                      : tr("Browse for the output file"));
        place(CmdBrowse[i], 6360, i == 0 ? 240 : 840, 1095, 375);
        connect(CmdBrowse[i], &QPushButton::clicked, this, [this, i] { CmdBrowse_Click(i); });
    }

    LblProfile = new QLabel(tr("&Profile :"), FraInput);
    named(LblProfile, "LblProfile", tr("Profile :"));
    place(LblProfile, 240, 1440, 855, 375);
    CmbProfile = new QComboBox(FraInput);
    named(CmbProfile, "CmbProfile", tr("Profile"));
    CmbProfile->setEditable(true);
    CmbProfile->setInsertPolicy(QComboBox::NoInsert);
    // The typed name is returned as typed, not replaced by a near list entry.
    CmbProfile->setCompleter(nullptr);
    place(CmbProfile, 1200, 1440, 5055, 315);
    LblProfile->setBuddy(CmbProfile);

    CmdOk = new QPushButton(tr("Ok"), this);
    named(CmdOk, "CmdOk", tr("Ok"));
    place(CmdOk, 4440, 2520, 1455, 495);
    CmdOk->setDefault(true);
    CmdCancel = new QPushButton(tr("Cancel"), this);
    named(CmdCancel, "CmdCancel", tr("Cancel"));
    place(CmdCancel, 6240, 2520, 1455, 495);

    setTabOrder(TxtInput, CmdBrowse[0]);
    setTabOrder(CmdBrowse[0], TxtOutput);
    setTabOrder(TxtOutput, CmdBrowse[1]);
    setTabOrder(CmdBrowse[1], CmbProfile);
    setTabOrder(CmbProfile, CmdOk);
    setTabOrder(CmdOk, CmdCancel);
    fitCaptions();

    guardLeadingBlank(TxtInput);
    guardLeadingBlank(TxtOutput);
    connect(CmbProfile, &QComboBox::editTextChanged, this, [this](const QString &text) {
        if (text == QLatin1String(" "))
            CmbProfile->clearEditText();
    });
    connect(CmbProfile, &QComboBox::activated, this, &FrmAddFiles::CmbProfile_Click);
    connect(CmdOk, &QPushButton::clicked, this, &FrmAddFiles::CmdOk_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &FrmAddFiles::CmdCancel_Click);

    TxtInput->installEventFilter(this);
    TxtInput->setFocus();
}

// A translated caption may be longer than the design's: the labels and the
// Browse buttons take the width they need from the boxes between them.
void FrmAddFiles::fitCaptions()
{
    int labelWidth = 0;
    for (QLabel *label : {LblInput, LblOutput, LblProfile})
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    const int boxLeft = std::max(TxtInput->x(), LblInput->x() + labelWidth);
    for (QLabel *label : {LblInput, LblOutput, LblProfile})
        label->resize(std::max(label->width(), labelWidth), label->height());

    const int browseRight = CmdBrowse[0]->geometry().right();
    const int gap = CmdBrowse[0]->x() - TxtInput->geometry().right();
    const int browseWidth = std::max(CmdBrowse[0]->width(), CmdBrowse[0]->sizeHint().width());
    for (QPushButton *browse : CmdBrowse)
        browse->setGeometry(browseRight + 1 - browseWidth, browse->y(), browseWidth, browse->height());

    const int boxRight = CmdBrowse[0]->x() - gap;
    for (QWidget *box : std::initializer_list<QWidget *>{TxtInput, TxtOutput, CmbProfile})
        box->setGeometry(boxLeft, box->y(), boxRight - boxLeft + 1, box->height());
}

void FrmAddFiles::Form_Load()
{
    // Centred by the outer size; the frame is known once the native window exists.
    create();
    if (const QScreen *s = screen())
        move(s->geometry().center() - frameGeometry().center() + pos());

    m_inputFile.clear();
    m_outputFile.clear();
    m_profile.clear();
    m_refused = false;
    // Loaded anew on every opening: the boxes start empty as well.
    TxtInput->clear();
    TxtOutput->clear();
    CmbProfile->clear();
    CmbProfile->clearEditText();

    try {
        const ProfileChoice choice = profileChoice(m_engines.catalogue().profiles(), m_preferredProfile);
        showProfiles({choice.names, int(choice.names.indexOf(choice.current))});
    } catch (const EncoderFailure &failure) {
        m_dialogs.failure(this, tr("Error Getting Profiles of Encoder"),
                                       failure.number());
    } catch (...) {
        m_dialogs.failure(this, tr("Error Getting Profiles of Encoder"),
                                       EngineError::Internal);
    }
    TxtInput->setFocus();
}

int FrmAddFiles::exec()
{
    Form_Load();
    return QDialog::exec();
}

void FrmAddFiles::open()
{
    Form_Load();
    QDialog::open();
}

void FrmAddFiles::showProfiles(const ProfileNarrowing &profiles)
{
    CmbProfile->clear();
    CmbProfile->addItems(profiles.names);
    CmbProfile->setCurrentIndex(profiles.current);
    CmbProfile->setEditText(profiles.text());
}

void FrmAddFiles::CmdBrowse_Click(int index)
{
    UiServices &ui = m_dialogs;
    if (index == 0) {
        // Everything readable first, as the default, so no file the engine
        // takes is hidden; then the dialog's own two and each container.
        const QStringList filters = QStringList(UiServices::readableFilter())
                                    + UiServices::qtFilters(tr(InputFilter))
                                    + UiServices::containerFilters();
        const QString chosen = ui.openFile(this, {tr("Input File"), filters, {}, true});
        TxtInput->setText(chosen);
        const QString proposal = proposalFor(m_engines, TxtInput->text(), CmbProfile->currentText());
        if (proposal.isEmpty())
            return;
        TxtOutput->setText(proposal);
        m_proposal = proposal;
        TxtInput->setFocus();
    } else {
        TxtOutput->setText(ui.saveFile(
            this, {tr("output file"), UiServices::qtFilters(tr(OutputFilter)), {}, false,
                   /*confirmOverwrite=*/false}));
    }
}

void FrmAddFiles::CmdOk_Click()
{
    if (m_refused)
        return;
    UiServices &ui = m_dialogs;
    if (TxtInput->text().isEmpty()) {
        ui.message(this, tr("Please enter the input file"));
        TxtInput->setFocus();
        return;
    }
    if (CmbProfile->currentText().isEmpty()) {
        ui.message(this, tr("Please enter a profile"));
        CmbProfile->setFocus();
        return;
    }
    if (!TxtOutput->text().isEmpty()) {
        const std::optional<ProfileSettings> p = settingsOf(m_engines, CmbProfile->currentText());
        const QString refused = p ? OutputNaming::refusal(*p, TxtOutput->text()) : QString();
        if (!refused.isEmpty()) {
            ui.message(this, refused);
            TxtOutput->setFocus();
            return;
        }
    }
    m_outputFile = TxtOutput->text().isEmpty() ? QStringLiteral("None") : TxtOutput->text();
    m_inputFile = TxtInput->text();
    m_profile = CmbProfile->currentText();
    accept();
}

void FrmAddFiles::CmdCancel_Click()
{
    m_inputFile.clear();
    reject();
}

void FrmAddFiles::CmbProfile_Click()
{
    m_profile = CmbProfile->currentText();
    if (!m_proposal.isEmpty() && TxtOutput->text() == m_proposal) {
        m_proposal = proposalFor(m_engines, TxtInput->text(), m_profile);
        TxtOutput->setText(m_proposal);
    }
}

void FrmAddFiles::TxtInput_LostFocus()
{
    const QString input = TxtInput->text();
    if (input.isEmpty())
        return;

    std::optional<ProfileNarrowing> narrowed;
    try {
        const MediaCatalogue &catalogue = m_engines.catalogue();
        const SourceInfo source = catalogue.probe(input);
        narrowed = narrowProfiles(source.audioCount, source.videoCount, catalogue.profiles(),
                                  CmbProfile->currentText());
    } catch (const EncoderFailure &failure) {
        if (failure.number() == EngineError::UnrecognisedMedia)
            refuseInput(failure.description());
        return;
    } catch (...) {
        // Any other trouble leaves the box as it was; OK still works.
        return;
    }

    if (narrowed)
        showProfiles(*narrowed);
    else
        m_dialogs.message(
            this, tr("The input file doesnot contain Either an audio or a video"));
}

void FrmAddFiles::refuseInput(const QString &description)
{
    // Before the message: the OK click that moved the focus here may be
    // delivered while the message is up, and must not store this entry.
    m_refused = true;
    m_inputFile.clear();
    m_dialogs.message(this, description);
    reject();
}

bool FrmAddFiles::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TxtInput && event->type() == QEvent::FocusOut && !m_refused) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Switching to another window or opening a context menu keeps the
        // focus in the box as far as the dialog is concerned.
        const QWidget *next = QApplication::focusWidget();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && next
            && next != TxtInput && isAncestorOf(next))
            TxtInput_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void FrmAddFiles::keyPressEvent(QKeyEvent *event)
{
    // Escape presses Cancel rather than merely closing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace joblet
