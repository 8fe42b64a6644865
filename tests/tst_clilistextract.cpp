// glyphora-cli list and extract as a script meets them: wine's libraries against
// wrestool, an .ico, hostile and missing files (exit 1, one line naming the file), usage
// errors (exit 2), an old icon left alone when an extraction fails, and the groups' own
// names, in the listing and for png --group.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "pewriter.h"
#include "testicons.h"

#include "processrun.h"
#include "testfiles.h"

namespace {

const QString kCli = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/glyphora-cli");
const QString kComdlg = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comdlg32.dll");
const QString kShell32 = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/shell32.dll");

// A mingw-w64 runtime library: code alone, no resource section.
QString mingwLibraryWithoutResources()
{
    const QDir gcc(QStringLiteral("/usr/lib/gcc/x86_64-w64-mingw32"));
    for (const QString& version : gcc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString path = gcc.filePath(version + QStringLiteral("/libgcc_s_seh-1.dll"));
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

} // namespace

class tst_CliListExtract : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void wineLibrary()
    {
        if (!QFile::exists(kComdlg) || QStandardPaths::findExecutable("wrestool").isEmpty())
            QSKIP("wine or icoutils is missing");
        const int groups = int(run("wrestool", {"-l", "-t14", kComdlg}).out.count('\n'));
        QVERIFY(groups > 1);

        const Run text = run(kCli, {"-q", "list", kComdlg});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(int(text.out.count('\n')), groups);
        QVERIFY(text.out.startsWith("row 0, id "));

        const Run json = run(kCli, {"list", "-q", "--json", kComdlg});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject document = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(document.value("file").toString(), kComdlg);
        const QJsonArray list = document.value("groups").toArray();
        QCOMPARE(list.size(), groups);
        QCOMPARE(list.at(1).toObject().value("row").toInt(), 1);
        const QJsonObject entry = list.at(0).toObject().value("entries").toArray().at(0).toObject();
        QVERIFY(entry.value("width").toInt() > 0);
        QVERIFY(entry.value("height").toInt() > 0);
        QVERIFY(entry.value("depth").toInt() > 0);

        const QString out = m_dir.filePath("comdlg.ico");
        const Run extract = run(kCli, {"-q", "extract", kComdlg, "-o", out});
        QCOMPARE(extract.exitCode, 0);
        QVERIFY(!QFile::exists(out));
        for (int i = 0; i < groups; ++i)
            QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("comdlg_%1.ico").arg(i))));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("comdlg_%1.ico").arg(groups))));
        // icotool reads what was written.
        QCOMPARE(run("icotool", {"-l", m_dir.filePath("comdlg_0.ico")}).exitCode, 0);
    }

    // A disk that fills part way through the groups (fileSizeLimit: the small ones fit):
    // nothing written, an old file of one of the names whole.  The folder's dot is no
    // suffix of the files' names.
    void extractFullDisk()
    {
        if (!QFile::exists(kComdlg))
            QSKIP("wine is missing");
        QTemporaryDir dir;
        const QString sets = dir.filePath("sets.d");
        QVERIFY(QDir().mkpath(sets));
        QVERIFY(writeFile(sets + "/comdlg_1.ico", "old icon"));
        const auto entries = [](const QString& folder) {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        Run r = run(kCli, {"-q", "extract", kComdlg, "-o", sets + "/comdlg"}, fileSizeLimit(20000));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(std::strerror(EFBIG)) && r.err.contains("nothing written"), r.err.constData());
        QCOMPARE(entries(sets), QStringList("comdlg_1.ico"));
        QCOMPARE(readFile(sets + "/comdlg_1.ico"), QByteArray("old icon"));
        QCOMPARE(entries(dir.path()), QStringList("sets.d"));
        r = run(kCli, {"-q", "extract", kComdlg, "-o", sets + "/comdlg"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(entries(sets).size() > 1);
        QCOMPARE(entries(dir.path()), QStringList("sets.d"));
    }

    void groupNames_data()
    {
        QTest::addColumn<QString>("library");
        QTest::newRow("notepad.exe: group 768, id 1") << QStringLiteral("notepad.exe");
        QTest::newRow("comdlg32.dll: string names") << QStringLiteral("comdlg32.dll");
        QTest::newRow("shell32.dll: many numbers") << QStringLiteral("shell32.dll");
    }

    // Each group's name in list --json is the one wrestool gives it, row for row.
    void groupNames()
    {
        QFETCH(QString, library);
        const QString path = QStringLiteral("/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/") + library;
        if (!QFile::exists(path) || QStandardPaths::findExecutable("wrestool").isEmpty())
            QSKIP("wine or icoutils is missing");
        QStringList expected;
        for (const QByteArray& line : run("wrestool", {"-l", "-t14", path}).out.split('\n')) {
            const int at = line.indexOf("--name=");
            if (at >= 0)
                expected << QString::fromUtf8(line.mid(at + 7, line.indexOf(' ', at) - at - 7)).remove(QLatin1Char('\''));
        }
        QVERIFY(!expected.isEmpty());
        const Run json = run(kCli, {"-q", "list", "--json", path});
        QCOMPARE(json.exitCode, 0);
        QStringList names;
        for (const QJsonValue group : QJsonDocument::fromJson(json.out).object().value("groups").toArray()) {
            const QJsonValue name = group.toObject().value("name");
            names << (name.isDouble() ? QString::number(name.toInt()) : name.toString());
        }
        QCOMPARE(names, expected);
    }

    // A library made here: a group named 768 whose RT_ICON is 1, and one whose string
    // name holds a quote and a line break.
    void pngByGroupName()
    {
        PeWriter pe;
        pe.addIcon(1, TestIcons::patternDib(16, 16, 1));
        pe.addIcon(2, TestIcons::patternDib(32, 32, 2));
        pe.addGroup(PeWriter::Name::fromId(768), PeWriter::groupPayload({{16, 16, 32, 1128, 1}}));
        pe.addGroup(PeWriter::Name::fromString("APP\"ICON\n"), PeWriter::groupPayload({{32, 32, 32, 4264, 2}}));
        const QString dll = m_dir.filePath("named.dll");
        QVERIFY(writeFile(dll, pe.build()));
        const Run text = run(kCli, {"-q", "list", dll});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QByteArray("row 0, id 1, name 768: 16x16 32-bit\n"
                                      "row 1, id 2, name \"APP\\\"ICON\\x0a\": 32x32 32-bit\n"));

        struct Case
        {
            QString group;
            int status;
            QByteArray written;  // the file expected, or what stderr says
        };
        const QList<Case> cases{
            {"#768", 0, "1_16x16_32bits.png"},
            {"app\"icon\n", 0, "2_32x32_32bits.png"},  // string names in any case
            {"1", 0, "2_32x32_32bits.png"},              // digits alone are the row
            {"768", 1, "no group at row 768 (2 groups); the group named 768 is --group '#768'"},
            {"#70000", 2, "--group needs a row number from 0 or a group's name"},
        };
        for (const Case& c : cases) {
            QTemporaryDir out;
            const Run r = run(kCli, {"-q", "png", dll, "--group", c.group, "--out-dir", out.path()});
            QVERIFY2(r.exitCode == c.status, qPrintable(c.group + ": " + QString::fromUtf8(r.err)));
            if (c.status == 0)
                QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{QString::fromUtf8(c.written)});
            else
                QVERIFY2(r.err.contains(c.written) && QDir(out.path()).isEmpty(), r.err.constData());
        }
    }

    void icoFile()
    {
        QByteArray ico(6 + 16, '\0');
        TestIcons::put16(ico, 2, 1);
        TestIcons::put16(ico, 4, 1);
        const QByteArray dib = TestIcons::patternDib(16, 16);
        ico[6] = 16;
        ico[7] = 16;
        TestIcons::put32(ico, 6 + 8, quint32(dib.size()));
        TestIcons::put32(ico, 6 + 12, 22);
        ico.append(dib);
        const QString path = m_dir.filePath("one.ico");
        QVERIFY(writeFile(path, ico));
        const Run text = run(kCli, {"-q", "list", path});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QByteArray("row 0, id 0: 16x16 32-bit\n"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("logLine");
        QTest::newRow("list: text file") << "list" << "text.dll" << QByteArray("plain text")
                                         << QByteArray("missing MZ signature");
        QTest::newRow("extract: text file") << "extract" << "text.exe" << QByteArray("plain text")
                                            << QByteArray("missing MZ signature");
        PeWriter pe;
        pe.addIcon(1, TestIcons::patternDib(16, 16));
        pe.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 1128, 1}}));
        const QByteArray whole = pe.build();
        QTest::newRow("list: cut inside the headers") << "list" << "cut.dll" << whole.left(pe.headersEnd() - 3)
                                                      << QByteArray("truncated headers");
        QTest::newRow("extract: cut inside the headers") << "extract" << "cut2.dll" << whole.left(200)
                                                         << QByteArray("truncated headers");
        PeWriter missing;
        missing.addIcon(1, "x");
        missing.addGroup(PeWriter::Name::fromId(1), PeWriter::groupPayload({{16, 16, 32, 1, 7}}));
        QTest::newRow("extract: missing RT_ICON") << "extract" << "missing.dll" << missing.build()
                                                  << QByteArray("Missing RT_ICON resource for ID 7");
        QTest::newRow("list: .ico of garbage") << "list" << "garbage.ico" << QByteArray(100, '\xff')
                                               << QByteArray();
    }

    // Exit 1, a line naming the file, the reader's log line, and the old output untouched.
    void failures()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, logLine);
        const QString input = m_dir.filePath(name);
        QVERIFY(writeFile(input, bytes));
        const QString output = m_dir.filePath("old.ico");
        QVERIFY(writeFile(output, "old icon"));
        QStringList args{command, input};
        if (command == "extract")
            args << "-o" << output;
        const Run r = run(kCli, args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(("glyphora-cli: " + command + ": " + input).toUtf8()), r.err.constData());
        QVERIFY2(r.err.contains(logLine), r.err.constData());
        QCOMPARE(readFile(output), QByteArray("old icon"));
    }

    void withoutResources_data()
    {
        QTest::addColumn<QString>("input"); // empty: a library made here
        QTest::newRow("PE32+ with a resource RVA of 0") << QString();
        const QString mingw = mingwLibraryWithoutResources();
        if (!mingw.isEmpty())
            QTest::newRow("mingw-w64 libgcc_s_seh-1.dll") << mingw;
    }

    // A library without a resource section is read and holds no icon: list says so and
    // succeeds, extract fails with that reason and writes nothing.
    void withoutResources()
    {
        QFETCH(QString, input);
        if (input.isEmpty()) {
            PeWriter pe(PeWriter::Format::Pe32Plus);
            pe.addIcon(1, "x");
            pe.setResourceRvaZero(true);
            input = m_dir.filePath("code-only.dll");
            QVERIFY(writeFile(input, pe.build()));
        }
        const Run text = run(kCli, {"list", input});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QByteArray("no icon groups\n"));
        QVERIFY2(!text.err.contains("not a readable"), text.err.constData());
        const Run json = run(kCli, {"-q", "list", "--json", input});
        QCOMPARE(json.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(json.out).object().value("groups").toArray().size(), 0);

        QTemporaryDir out;
        const Run extract = run(kCli, {"extract", input, "-o", out.filePath("x.ico")});
        QCOMPARE(extract.exitCode, 1);
        QVERIFY2(extract.err.contains(("glyphora-cli: extract: " + input + ": the file holds no icon group").toUtf8()),
                 extract.err.constData());
        QVERIFY(QDir(out.path()).isEmpty());
    }

    // The readers' debug lines (thousands for shell32) only with --verbose; -q leaves
    // stderr empty on success.
    void logLevels()
    {
        if (!QFile::exists(kShell32))
            QSKIP("wine is missing");
        const Run plain = run(kCli, {"list", kShell32});
        QCOMPARE(plain.exitCode, 0);
        QVERIFY(plain.out.startsWith("row 0, id "));
        QVERIFY2(!plain.err.contains("iconId:") && !plain.err.contains("wBitCount:") && plain.err.count('\n') < 10,
                 plain.err.left(500).constData());
        const Run verbose = run(kCli, {"--verbose", "list", kShell32});
        QCOMPARE(verbose.exitCode, 0);
        QVERIFY(verbose.err.count("iconId:") > 100);
        QCOMPARE(verbose.out, plain.out);
        QCOMPARE(run(kCli, {"list", "--verbose", kShell32}).err, verbose.err);
        const Run quiet = run(kCli, {"-q", "list", kShell32});
        QCOMPARE(quiet.err, QByteArray());
        QCOMPARE(quiet.out, plain.out);
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("list without a file") << QStringList{"list"};
        QTest::newRow("list with two files") << QStringList{"list", "a.dll", "b.dll"};
        QTest::newRow("list unknown option") << QStringList{"list", "--xml", "a.dll"};
        QTest::newRow("extract without -o") << QStringList{"extract", "a.dll"};
        QTest::newRow("extract -o without a name") << QStringList{"extract", "a.dll", "-o"};
        QTest::newRow("extract without a file") << QStringList{"extract", "-o", "x.ico"};
    }

    void usage()
    {
        QFETCH(QStringList, args);
        const Run r = run(kCli, args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("Try 'glyphora-cli --help'."));
    }

    void missingFile()
    {
        const Run r = run(kCli, {"extract", m_dir.filePath("absent.dll"), "-o", m_dir.filePath("x.ico")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("absent.dll"));
        QCOMPARE(run(kCli, {"list", "--help"}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(tst_CliListExtract)
#include "tst_clilistextract.moc"
