#include "FrmAddFiles.h"

namespace joblet {

FrmAddFiles::FrmAddFiles(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmAddFiles"));
}

void FrmAddFiles::Form_Load() {}
QString FrmAddFiles::proposedOutput(const QString &input)
{
    return input.size() < 3 ? QString() : input.left(input.size() - 3) + QStringLiteral("wmv");
}
void FrmAddFiles::CmdBrowse_Click(int) {}
void FrmAddFiles::CmdOk_Click() {}
void FrmAddFiles::CmdCancel_Click() {}
void FrmAddFiles::TxtInput_LostFocus() {}

} // namespace joblet
