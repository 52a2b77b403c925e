#include <QtTest>

class Tst_tst_profilecatalogue : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_tst_profilecatalogue)
#include "tst_profilecatalogue.moc"
