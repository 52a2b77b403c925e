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

class ProfileCollection;

// The profile box after an inspection: its list and the entry shown, -1 for
// an empty text.
struct ProfileNarrowing {
    QStringList names;
    int current = -1;

    QString text() const { return current >= 0 ? names.at(current) : QString(); }
};

// "Add Batch Items": one job's input file, output file and profile. The
// results are read after the window closed; opening clears them.
class FrmAddFiles : public QDialog {
    Q_OBJECT

public:
    explicit FrmAddFiles(QWidget *parent = nullptr);

    // Clears the results, fills the profile box from a fresh engine and
    // centres the window; exec() and open() run it, tests call it directly.
    void Form_Load();

    int exec() override;
    void open() override;

    QString GetInputFile() const { return m_inputFile; }
    QString GetOutputFile() const { return m_outputFile; }
    QString GetProfile() const { return m_profile; }

    // The output name an input browse proposes: the path without its last
    // three characters, then "wmv"; empty when the path is shorter.
    static QString proposedOutput(const QString &input);

    // The profiles that suit an input with these source counts, keeping
    // `remembered` (any letter case) when it is among them; nullopt when the
    // input has neither audio nor video.
    static std::optional<ProfileNarrowing> narrowProfiles(int audioCount, int videoCount,
                                                          const ProfileCollection &profiles,
                                                          const QString &remembered);

    void CmdBrowse_Click(int index);
    void CmdOk_Click();
    void CmdCancel_Click();
    void TxtInput_LostFocus();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
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

    QString m_inputFile;
    QString m_outputFile;
    QString m_profile;
    // Set once the engine refused the input: the window is closing and no
    // later OK may store anything.
    bool m_refused = false;
};

} // namespace joblet
