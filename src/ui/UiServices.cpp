#include "UiServices.h"

namespace joblet {

QString UiServices::errorTitle(qint32 number)
{
    return QStringLiteral("Error-") + QString::number(number);
}

void UiServices::failure(QWidget *parent, const QString &text, qint32 number)
{
    message(parent, text, QMessageBox::Ok, Icon::Critical, errorTitle(number));
}

} // namespace joblet
