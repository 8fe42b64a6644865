// Writes COUNT DWORD values named PREFIX0 .. PREFIX<COUNT-1> into the store at PATH, one
// write at a time, as a running instance of the program would.  Used to race two
// processes against each other.
#include <QCoreApplication>

#include "kvregistrystore.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    KvRegistryStore store(args.at(1));
    const QString prefix = args.at(2);
    const int count = args.at(3).toInt();
    for (int i = 0; i < count; ++i) {
        if (!store.writeDword(QStringLiteral("HKEY_CURRENT_USER"), QStringLiteral("Software\\Race"),
                              prefix + QString::number(i), static_cast<quint32>(i)))
            return 1;
    }
    return 0;
}
