#pragma once

#include <QDialog>
#include <QStringList>

#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace joblet {

class EngineFactory;
class UiServices;
struct ProfileNarrowing;

// "Add Batch Items": one job's input file, output file and profile. The
// results are read after the window closed; opening clears them.
class FrmAddFiles : public QDialog {
    Q_OBJECT

public:
    FrmAddFiles(const EngineFactory &engines, UiServices &dialogs, QWidget *parent = nullptr);

    // Clears the results, fills the profile box from a fresh engine and
    // centres the window; exec() and open() run it, tests call it directly.
    void Form_Load();

    // The profile shown at opening when it is listed: the user's last choice.
    void setPreferredProfile(const QString &name) { m_preferredProfile = name; }

    int exec() override;
    void open() override;

    QString GetInputFile() const { return m_inputFile; }
    QString GetOutputFile() const { return m_outputFile; }
    QString GetProfile() const { return m_profile; }

    void CmdBrowse_Click(int index);
    void CmdOk_Click();
    void CmdCancel_Click();
    void TxtInput_LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fitCaptions();
    void CmbProfile_Click();
    void showProfiles(const ProfileNarrowing &profiles);
    void refuseInput(const QString &description);

    QGroupBox *FraInput;
    QLabel *LblInput;
    QLineEdit *TxtInput;
    QPushButton *CmdBrowse[2];
    QLabel *LblOutput;
    QLineEdit *TxtOutput;
    QLabel *LblProfile;
    QComboBox *CmbProfile;
    QPushButton *CmdOk;
    QPushButton *CmdCancel;

    const EngineFactory &m_engines;
    UiServices &m_dialogs;
    QString m_inputFile;
    QString m_outputFile;
    QString m_profile;
    QString m_preferredProfile;
    // Set once the engine refused the input: the window is closing and no
    // later OK may store anything.
    bool m_refused = false;
    // The output the dialog proposed, replaced when the profile changes.
    QString m_proposal;
};

} // namespace joblet
