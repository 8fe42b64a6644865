#include <QtTest>
class Test_registrystore : public QObject { Q_OBJECT };
QTEST_MAIN(Test_registrystore)
#include "tst_registrystore.moc"
