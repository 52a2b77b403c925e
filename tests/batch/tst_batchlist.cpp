#include <QtTest>

class Tst_tst_batchlist : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_tst_batchlist)
#include "tst_batchlist.moc"
