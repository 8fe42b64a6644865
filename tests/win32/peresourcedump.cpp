// Writes what the program's own PE resource reader finds in a library, in the format of
// the loader dumps that winplatform_test.exe writes under wine, so that the two can be
// compared byte for byte (compare-icon-dumps.sh):
//
//   glyphora-icon-dump 1
//   group NAME SIZE HEX     one per RT_GROUP_ICON, in directory order
//   icon #ID SIZE HEX       one per RT_ICON with an integer ID, by ascending ID
//
// NAME is #ID, or the string name with anything but letters, digits and '_' written as
// %XXXX (its UTF-16 unit in upper-case hex).
//
//   peresourcedump LIBRARY OUTPUT

#include <QByteArray>
#include <QCoreApplication>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

#include "pe/iconresourceset.h"
#include "pe/peresourcereader.h"

namespace {

QByteArray nameToken(const IconResourceName& name)
{
    if (name.isId)
        return "#" + QByteArray::number(name.id);
    QByteArray token;
    for (const QChar unit : name.name) {
        const char16_t c = unit.unicode();
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_')
            token += char(c);
        else
            token += "%" + QByteArray::number(uint(c), 16).toUpper().rightJustified(4, '0');
    }
    return token;
}

QByteArray line(const QByteArray& kind, const QByteArray& name, const QByteArray& payload)
{
    return kind + ' ' + name + ' ' + QByteArray::number(payload.size()) + ' ' + payload.toHex() + '\n';
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: peresourcedump LIBRARY OUTPUT\n");
        return 2;
    }
    IconResourceSet resources;
    if (!readIconResources(args.at(1), resources)) {
        std::fprintf(stderr, "peresourcedump: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    if (resources.groupNames.size() != resources.groups.size()) {
        std::fprintf(stderr, "peresourcedump: %lld groups but %lld group names\n",
                     qlonglong(resources.groups.size()), qlonglong(resources.groupNames.size()));
        return 1;
    }
    QByteArray dump = "glyphora-icon-dump 1\n";
    for (qsizetype i = 0; i < resources.groups.size(); ++i)
        dump += line("group", nameToken(resources.groupNames.at(i)), resources.groups.at(i));
    for (auto it = resources.icons.cbegin(); it != resources.icons.cend(); ++it)
        dump += line("icon", "#" + QByteArray::number(it.key()), it.value());

    QSaveFile out(args.at(2));
    if (!out.open(QIODevice::WriteOnly) || out.write(dump) != dump.size() || !out.commit()) {
        std::fprintf(stderr, "peresourcedump: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
