#include <QtTest>

class Tst_tst_encoderengine : public QObject {
    Q_OBJECT
};

QTEST_GUILESS_MAIN(Tst_tst_encoderengine)
#include "tst_encoderengine.moc"
