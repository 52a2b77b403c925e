#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace joblet {

Translations::Translations()
{
    const QLocale locale = QLocale::system();
    // Qt's first: ours is installed last and so asked first.
    if (m_qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qt);
    if (m_own.load(locale, QStringLiteral("joblet"), QStringLiteral("_"), resourceFolder()))
        QCoreApplication::installTranslator(&m_own);
}

Translations::~Translations()
{
    QCoreApplication::removeTranslator(&m_own);
    QCoreApplication::removeTranslator(&m_qt);
}

QString Translations::resourceFolder()
{
    return QStringLiteral(":/i18n");
}

} // namespace joblet
