#include "ui/FrmJobletIn.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Joblet"));
    joblet::FrmJobletIn window;
    window.Form_Load();
    window.show();
    return app.exec();
}
