#pragma once

#include <QTranslator>

namespace joblet {

// The program's and Qt's own texts in the user's language (QLocale::system()),
// installed on the running application for as long as this lives. Without a
// translation for that language the English texts stay.
class Translations {
public:
    Translations();
    ~Translations();
    Translations(const Translations &) = delete;
    Translations &operator=(const Translations &) = delete;

    // Where the compiled translations are among the program's resources.
    static QString resourceFolder();

private:
    QTranslator m_qt;
    QTranslator m_own;
};

} // namespace joblet
