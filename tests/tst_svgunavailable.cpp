// Without the SVG library every drawing is refused with that reason, not as a bad file;
// the old output stays.  A process of its own: the library is looked for once.
#include <QtTest>

#include <QTemporaryDir>

#include "ico/icoencoder.h"
#include "picture/svgdocument.h"
#include "testfiles.h"

class TestSvgUnavailable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { SvgDocument::setLibraryName(QStringLiteral("glyphora-test-no-such-library")); }

    void reasonNamesTheLibrary()
    {
        QTemporaryDir dir;
        const QString svg = dir.filePath(QStringLiteral("fine.svg"));
        QVERIFY(writeFile(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                               "<rect width=\"10\" height=\"10\"/></svg>"));
        const QString ico = dir.filePath(QStringLiteral("fine.ico"));
        QVERIFY(writeFile(ico, "old icon"));
        QString reason;
        QVERIFY(!IcoEncoder::writeIcoFromSourceFile(svg, ico, &reason));
        QVERIFY2(reason.startsWith(QLatin1String("SVG support is unavailable: the SVG library (librsvg) cannot be loaded")),
                 qPrintable(reason));
        QVERIFY2(reason.contains(QLatin1String("glyphora-test-no-such-library")), qPrintable(reason));
        QCOMPARE(readFile(ico), QByteArray("old icon"));
    }
};

QTEST_GUILESS_MAIN(TestSvgUnavailable)
#include "tst_svgunavailable.moc"
