#include <QtTest>

class Tst_tst_ffmpegengine : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_tst_ffmpegengine)
#include "tst_ffmpegengine.moc"
