#include <QtTest>
class Test_checkupdate : public QObject { Q_OBJECT };
QTEST_MAIN(Test_checkupdate)
#include "tst_checkupdate.moc"
