#include <QtTest>
class Test_mainwindow : public QObject { Q_OBJECT };
QTEST_MAIN(Test_mainwindow)
#include "tst_mainwindow.moc"
