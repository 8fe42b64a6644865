#include <QtTest>

#include "kvglobal.h"
#include "kvregistrystore.h"

// The per-user store that stands in for the registry, and KvGlobal's registry
// operations on top of it.
class TestRegistryStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void typesAreKept();
    void missingKeyVersusMissingValue();
    void namesAreCaseInsensitive();
    void kvGlobalResults();
    void writeReplacesFileAtomically();
    void failedWriteKeepsOldFile();
    void twoProcessesLoseNothing();
    void corruptFile_data();
    void corruptFile();

private:
    QString storePath() const { return m_dir.filePath(QStringLiteral("registry.json")); }
    QTemporaryDir m_dir;
};

namespace {
QStringList capturedMessages;
void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    capturedMessages << message;
}

const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");
const QString kKey = QStringLiteral("Software\\Vantrel\\Orvasto");
}

void TestRegistryStore::init()
{
    QFile::remove(storePath());
    const QStringList leftovers = QDir(m_dir.path()).entryList(QDir::Files);
    for (const QString& name : leftovers)
        QFile::remove(m_dir.filePath(name));
}

void TestRegistryStore::typesAreKept()
{
    KvRegistryStore store(storePath());
    QVERIFY(store.writeString(kRoot, kKey, QStringLiteral("text"), QStringLiteral("100")));
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("number"), 0xFFFFFFFFu));
    QVERIFY(store.writeString(kRoot, kKey, QStringLiteral("empty"), QString()));
    QVERIFY(store.writeString(kRoot, kKey, QStringLiteral("unicode"), QStringLiteral("C:\\Bilder\\Grüße ✓")));

    std::uint32_t number = 7;
    QCOMPARE(store.readDword(kRoot, kKey, QStringLiteral("number"), number), KvRegistryStore::Status::Ok);
    QCOMPARE(number, 0xFFFFFFFFu);

    // A string that looks like a number is still a string: a DWORD read fails and leaves out alone.
    number = 7;
    QCOMPARE(store.readDword(kRoot, kKey, QStringLiteral("text"), number), KvRegistryStore::Status::NoValue);
    QCOMPARE(number, 7u);

    QString text = QStringLiteral("stale");
    QCOMPARE(store.readString(kRoot, kKey, QStringLiteral("number"), text), KvRegistryStore::Status::NoValue);
    QVERIFY(text.isEmpty());
    QCOMPARE(store.readString(kRoot, kKey, QStringLiteral("empty"), text), KvRegistryStore::Status::Ok);
    QVERIFY(text.isEmpty());
    QCOMPARE(store.readString(kRoot, kKey, QStringLiteral("unicode"), text), KvRegistryStore::Status::Ok);
    QCOMPARE(text, QStringLiteral("C:\\Bilder\\Grüße ✓"));

    // Overwriting a value with another type replaces it.
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("text"), 5));
    QCOMPARE(store.readDword(kRoot, kKey, QStringLiteral("text"), number), KvRegistryStore::Status::Ok);
    QCOMPARE(number, 5u);
}

void TestRegistryStore::missingKeyVersusMissingValue()
{
    KvRegistryStore store(storePath());
    QString text;
    QCOMPARE(store.readString(kRoot, kKey, QStringLiteral("posX"), text), KvRegistryStore::Status::NoKey);

    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("posX"), 1));
    QCOMPARE(store.readString(kRoot, kKey, QStringLiteral("other"), text), KvRegistryStore::Status::NoValue);
    // Creating a key creates its parents, which then exist without values.
    QCOMPARE(store.readString(kRoot, QStringLiteral("Software\\Vantrel"), QStringLiteral("x"), text),
             KvRegistryStore::Status::NoValue);
    QCOMPARE(store.readString(kRoot, QStringLiteral("Software\\Vantrel\\Orvasto\\Deeper"), QStringLiteral("x"), text),
             KvRegistryStore::Status::NoKey);
}

void TestRegistryStore::namesAreCaseInsensitive()
{
    KvRegistryStore store(storePath());
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("posX"), 1));
    QVERIFY(store.writeDword(kRoot, kKey.toUpper(), QStringLiteral("POSX"), 2));
    std::uint32_t value = 0;
    QCOMPARE(store.readDword(kRoot, kKey.toLower(), QStringLiteral("posx"), value), KvRegistryStore::Status::Ok);
    QCOMPARE(value, 2u);
    // One value, not two.
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("\"type\""), 1);
}

void TestRegistryStore::kvGlobalResults()
{
    // KvGlobal uses the default store, which lives under this test's own XDG_CONFIG_HOME.
    QFile::remove(KvRegistryStore::defaultFilePath());
    const QString key = QStringLiteral("Software\\Vantrel Sparvik Plus!\\ExtractIcon");

    // A missing subkey fails silently.
    QString out = QStringLiteral("stale");
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const bool read = KvGlobal::readRegistryString(KvGlobal::CurrentUser, key, QStringLiteral("loadIconPath"), out);
    qInstallMessageHandler(previous);
    QVERIFY(!read);
    QVERIFY(out.isEmpty());
    QCOMPARE(capturedMessages, QStringList());

    QVERIFY(KvGlobal::writeRegistryString(KvGlobal::CurrentUser, key, QStringLiteral("loadIconPath"), QStringLiteral("100")));
    QVERIFY(KvGlobal::readRegistryString(KvGlobal::CurrentUser, key, QStringLiteral("loadIconPath"), out));
    QCOMPARE(out, QStringLiteral("100"));

    QTest::ignoreMessage(QtDebugMsg, "error");
    QVERIFY(!KvGlobal::readRegistryString(KvGlobal::CurrentUser, key, QStringLiteral("exportIconPath"), out));
    QVERIFY(out.isEmpty());

    quint32 number = 42;
    QTest::ignoreMessage(QtDebugMsg, "\"Software\\\\Vantrel Sparvik Plus!\\\\ExtractIcon\"  :  \"loadIconPath\"  : Cannot read DWORD from registry.");
    QVERIFY(!KvGlobal::readRegistryDword(KvGlobal::CurrentUser, key, QStringLiteral("loadIconPath"), number));
    QCOMPARE(number, 42u);

    QTest::ignoreMessage(QtDebugMsg, "true");
    QVERIFY(KvGlobal::writeRegistryDword(KvGlobal::CurrentUser, QStringLiteral("Software\\New\\Deep"), QStringLiteral("v"), quint32(-1)));
    QVERIFY(KvGlobal::readRegistryDword(KvGlobal::CurrentUser, QStringLiteral("Software\\New\\Deep"), QStringLiteral("v"), number));
    QCOMPARE(number, 0xFFFFFFFFu);
    QCOMPARE(static_cast<qint32>(number), -1);
}

void TestRegistryStore::writeReplacesFileAtomically()
{
    KvRegistryStore store(storePath());
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("a"), 1));
    const QFileInfo before(storePath());
    // The file is replaced, not rewritten in place: a reader holding the old file keeps
    // reading complete, old contents.
    QFile reader(storePath());
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("b"), 2));
    const QByteArray old = reader.readAll();
    QVERIFY(QJsonDocument::fromJson(old).isObject());
    QVERIFY(!old.contains("\"b\""));
    // No temporary or lock file is left behind.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("registry.json")});
    Q_UNUSED(before);
}

void TestRegistryStore::failedWriteKeepsOldFile()
{
    KvRegistryStore store(storePath(), 200);
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("a"), 1));
    QFile file(storePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    // Another instance is in the middle of a write: this one gives up and says so.
    QLockFile otherInstance(storePath() + QStringLiteral(".lock"));
    QVERIFY(otherInstance.lock());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is locked by another process")));
    QVERIFY(!store.writeDword(kRoot, kKey, QStringLiteral("b"), 2));
    otherInstance.unlock();

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestRegistryStore::twoProcessesLoseNothing()
{
    constexpr int kWrites = 60;
    const QString writer = QStringLiteral(GLYPHORA_BINARY_DIR "/bin/storewriter");
    QProcess first, second;
    first.start(writer, {storePath(), QStringLiteral("first"), QString::number(kWrites)});
    second.start(writer, {storePath(), QStringLiteral("second"), QString::number(kWrites)});
    QVERIFY(first.waitForFinished(60000));
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    KvRegistryStore store(storePath());
    for (const QString& prefix : {QStringLiteral("first"), QStringLiteral("second")}) {
        for (int i = 0; i < kWrites; ++i) {
            std::uint32_t value = 0xDEAD;
            QCOMPARE(store.readDword(kRoot, QStringLiteral("Software\\Race"), prefix + QString::number(i), value),
                     KvRegistryStore::Status::Ok);
            QCOMPARE(value, static_cast<std::uint32_t>(i));
        }
    }
}

void TestRegistryStore::corruptFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("truncated json") << QByteArray("{\"format\": \"glyphora-registry-1\", \"keys\": {\"HKEY");
    QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe\x89PNG\r\n", 9);
    QTest::newRow("json of another shape") << QByteArray("[1, 2, 3]");
    QTest::newRow("wrong format tag") << QByteArray("{\"format\": \"x\", \"keys\": {}}");
    QTest::newRow("values of the wrong shape")
        << QByteArray("{\"format\": \"glyphora-registry-1\", \"keys\": {\"HKEY_CURRENT_USER\\\\Software\\\\Vantrel\\\\Orvasto\":"
                      " {\"posX\": {\"type\": \"REG_DWORD\", \"data\": \"12\"}, \"posY\": {\"type\": \"REG_DWORD\", \"data\": -3},"
                      " \"width\": {\"type\": \"REG_DWORD\", \"data\": 1.5}, \"height\": 7}}}");
}

void TestRegistryStore::corruptFile()
{
    QFETCH(QByteArray, contents);
    {
        QFile file(storePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    KvRegistryStore store(storePath());
    std::uint32_t value = 9;
    for (const char* name : {"posX", "posY", "width", "height"}) {
        QVERIFY(store.readDword(kRoot, kKey, QString::fromLatin1(name), value) != KvRegistryStore::Status::Ok);
        QCOMPARE(value, 9u);
    }

    // A write after a corrupt file starts afresh and keeps the old bytes aside.
    QVERIFY(store.writeDword(kRoot, kKey, QStringLiteral("posX"), 3));
    QCOMPARE(store.readDword(kRoot, kKey, QStringLiteral("posX"), value), KvRegistryStore::Status::Ok);
    QCOMPARE(value, 3u);
    const bool wellFormed = QJsonDocument::fromJson(contents).object().value(QLatin1String("format"))
                            == QLatin1String("glyphora-registry-1");
    const QStringList aside = QDir(m_dir.path()).entryList({QStringLiteral("registry.json.corrupt-*")}, QDir::Files);
    QCOMPARE(aside.size(), wellFormed ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestRegistryStore)
#include "tst_registrystore.moc"
