#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace joblet {

// "Add Batch Items": one job's input file, output file and profile. The
// results are read after the window closed; opening clears them.
class FrmAddFiles : public QDialog {
    Q_OBJECT

public:
    explicit FrmAddFiles(QWidget *parent = nullptr);

    // Clears the results, fills the profile box from a fresh engine and
    // centres the window; exec() and open() run it, tests call it directly.
    void Form_Load();

    QString GetInputFile() const { return m_inputFile; }
    QString GetOutputFile() const { return m_outputFile; }
    QString GetProfile() const { return m_profile; }

    // The output name an input browse proposes: the path without its last
    // three characters, then "wmv"; empty when the path is shorter.
    static QString proposedOutput(const QString &input);

    void CmdBrowse_Click(int index);
    void CmdOk_Click();
    void CmdCancel_Click();
    void TxtInput_LostFocus();

private:
    QString m_inputFile;
    QString m_outputFile;
    QString m_profile;
};

} // namespace joblet
