#include <QtTest>

#include "app/windowgeometry.h"

// The clamping of the restored main window rectangle, for any screen and stored values.
class TestWindowGeometry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clamp_data();
    void clamp();
};

namespace {
constexpr qint64 kAbsent = -1;

std::optional<quint32> stored(qint64 value)
{
    if (value == kAbsent)
        return std::nullopt;
    return static_cast<quint32>(static_cast<qint32>(value));  // as a REG_DWORD keeps an int
}
} // namespace

void TestWindowGeometry::clamp_data()
{
    QTest::addColumn<quint32>("screenWidth");
    QTest::addColumn<quint32>("screenHeight");
    QTest::addColumn<qint64>("posX");
    QTest::addColumn<qint64>("posY");
    QTest::addColumn<qint64>("width");
    QTest::addColumn<qint64>("height");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("first start") << 1920u << 1017u << kAbsent << kAbsent << kAbsent << kAbsent
                                 << QRect(100, 100, 986, 513);
    QTest::newRow("narrow screen keeps x and overhangs") << 800u << 1017u << kAbsent << kAbsent << kAbsent << kAbsent
                                                         << QRect(100, 100, 800, 513);
    QTest::newRow("negative posX reads as huge") << 1920u << 1017u << qint64(-200) << qint64(50) << kAbsent << kAbsent
                                                 << QRect(100, 50, 986, 513);
    QTest::newRow("wide window pulled back to right edge") << 1920u << 1017u << qint64(800) << qint64(100)
                                                           << qint64(1500) << qint64(600)
                                                           << QRect(420, 100, 1500, 600);
    QTest::newRow("too small width raised, posX kept") << 1920u << 1017u << qint64(1500) << qint64(100)
                                                       << qint64(600) << kAbsent
                                                       << QRect(1500, 100, 986, 513);
    QTest::newRow("too tall cut to screen, posY kept") << 1920u << 1017u << qint64(100) << qint64(300)
                                                       << kAbsent << qint64(2000)
                                                       << QRect(100, 300, 986, 1017);
    QTest::newRow("round trip of a valid rectangle") << 1920u << 1017u << qint64(37) << qint64(41)
                                                     << qint64(1200) << qint64(700)
                                                     << QRect(37, 41, 1200, 700);
    QTest::newRow("posY beyond screen") << 1920u << 1017u << qint64(10) << qint64(5000) << kAbsent << kAbsent
                                        << QRect(10, 100, 986, 513);
    QTest::newRow("bottom edge pulled up") << 1920u << 1017u << qint64(10) << qint64(900) << kAbsent << qint64(600)
                                           << QRect(10, 417, 986, 600);
    // x = W is not beyond the screen, but the default size does not fit there.
    QTest::newRow("position at the screen edge pulled back") << 1920u << 1017u << qint64(1920) << qint64(1017)
                                                             << kAbsent << kAbsent << QRect(934, 504, 986, 513);
}

void TestWindowGeometry::clamp()
{
    QFETCH(quint32, screenWidth);
    QFETCH(quint32, screenHeight);
    QFETCH(qint64, posX);
    QFETCH(qint64, posY);
    QFETCH(qint64, width);
    QFETCH(qint64, height);
    QFETCH(QRect, expected);

    const StoredWindowGeometry values{stored(posX), stored(posY), stored(width), stored(height)};
    QCOMPARE(clampWindowGeometry(screenWidth, screenHeight, values), expected);
}

QTEST_APPLESS_MAIN(TestWindowGeometry)
#include "tst_windowgeometry.moc"
