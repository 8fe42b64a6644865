#include "pewriter.h"

#include <QMap>

#include <algorithm>

namespace {

constexpr quint32 kSectionAlignment = 0x1000;
constexpr quint32 kFileAlignment = 0x200;
constexpr quint32 kTextRva = 0x1000;
constexpr quint32 kRsrcRva = 0x2000;
constexpr qint64 kTextRaw = 0x200;
constexpr qint64 kRsrcRaw = 0x400;
constexpr quint32 kUnmappedRva = 0x00F00000;

void put16(QByteArray& b, qint64 at, quint16 v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}

void put32(QByteArray& b, qint64 at, quint32 v)
{
    put16(b, at, quint16(v & 0xFFFF));
    put16(b, at + 2, quint16(v >> 16));
}

qint64 align(qint64 v, qint64 a)
{
    return (v + a - 1) / a * a;
}

bool sameName(const PeWriter::Name& a, const PeWriter::Name& b)
{
    return a.isString == b.isString && (a.isString ? a.text == b.text : a.id == b.id);
}

} // namespace

void PeWriter::add(const Name& type, const Name& name, const QByteArray& data, quint16 language,
                   bool unmappedRva)
{
    m_resources.append({type, name, language, data, unmappedRva});
}

QByteArray PeWriter::groupPayload(const QList<GroupEntry>& entries, quint16 type)
{
    QByteArray b(6 + 14 * entries.size(), '\0');
    put16(b, 2, type);
    put16(b, 4, quint16(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const qint64 at = 6 + 14 * i;
        const GroupEntry& e = entries.at(i);
        b[at] = char(e.width);
        b[at + 1] = char(e.height);
        put16(b, at + 4, 1);
        put16(b, at + 6, e.bitCount);
        put32(b, at + 8, e.bytes);
        put16(b, at + 12, e.id);
    }
    return b;
}

QByteArray PeWriter::build()
{
    // Group into type -> name -> languages, keeping first-seen order.
    struct NameNode { Name name; QList<int> resources; };
    struct TypeNode { Name type; QList<NameNode> names; };
    QList<TypeNode> types;
    for (int i = 0; i < m_resources.size(); ++i) {
        const Resource& r = m_resources.at(i);
        auto t = std::find_if(types.begin(), types.end(),
                              [&](const TypeNode& n) { return sameName(n.type, r.type); });
        if (t == types.end()) {
            types.append({r.type, {}});
            t = types.end() - 1;
        }
        auto n = std::find_if(t->names.begin(), t->names.end(),
                              [&](const NameNode& n) { return sameName(n.name, r.name); });
        if (n == t->names.end()) {
            t->names.append({r.name, {}});
            n = t->names.end() - 1;
        }
        n->resources.append(i);
    }

    // Offsets within the section.
    qint64 at = 16 + 8 * types.size();
    QList<qint64> typeDirs;
    for (const TypeNode& t : types) {
        typeDirs.append(at);
        at += 16 + 8 * t.names.size();
    }
    QList<QList<qint64>> langDirs;
    for (const TypeNode& t : types) {
        QList<qint64> dirs;
        for (const NameNode& n : t.names) {
            dirs.append(at);
            at += 16 + 8 * n.resources.size();
        }
        langDirs.append(dirs);
    }
    QList<qint64> dataEntries;
    for (int i = 0; i < m_resources.size(); ++i) {
        dataEntries.append(at);
        at += 16;
    }
    QMap<QString, qint64> strings;
    auto addString = [&](const Name& n) {
        if (n.isString && !strings.contains(n.text)) {
            strings.insert(n.text, at);
            at += 2 + 2 * n.text.size();
        }
    };
    for (const TypeNode& t : types) {
        addString(t.type);
        for (const NameNode& n : t.names)
            addString(n.name);
    }
    m_directoryEnd = kRsrcRaw + at;
    QList<qint64> dataAt;
    for (const Resource& r : m_resources) {
        at = align(at, 4);
        dataAt.append(at);
        at += r.data.size();
    }
    const qint64 rsrcSize = align(at, 4);

    QByteArray rsrc(rsrcSize, '\0');
    auto nameField = [&](const Name& n) -> quint32 {
        return n.isString ? (0x80000000u | quint32(strings.value(n.text))) : n.id;
    };
    auto writeDir = [&](qint64 dir, int named, int ids) {
        put16(rsrc, dir + 12, quint16(named));
        put16(rsrc, dir + 14, quint16(ids));
    };
    auto countNamed = [](auto begin, auto end, auto isString) {
        int c = 0;
        for (auto i = begin; i != end; ++i)
            c += isString(*i) ? 1 : 0;
        return c;
    };
    writeDir(0, countNamed(types.begin(), types.end(), [](const TypeNode& t) { return t.type.isString; }),
             int(types.size()) - countNamed(types.begin(), types.end(), [](const TypeNode& t) { return t.type.isString; }));
    for (int ti = 0; ti < types.size(); ++ti) {
        const TypeNode& t = types.at(ti);
        put32(rsrc, 16 + 8 * ti, nameField(t.type));
        put32(rsrc, 16 + 8 * ti + 4, 0x80000000u | quint32(typeDirs.at(ti)));
        const int named = countNamed(t.names.begin(), t.names.end(), [](const NameNode& n) { return n.name.isString; });
        writeDir(typeDirs.at(ti), named, int(t.names.size()) - named);
        for (int ni = 0; ni < t.names.size(); ++ni) {
            const NameNode& n = t.names.at(ni);
            const qint64 e = typeDirs.at(ti) + 16 + 8 * ni;
            put32(rsrc, e, nameField(n.name));
            put32(rsrc, e + 4, 0x80000000u | quint32(langDirs.at(ti).at(ni)));
            const qint64 ld = langDirs.at(ti).at(ni);
            writeDir(ld, 0, int(n.resources.size()));
            for (int li = 0; li < n.resources.size(); ++li) {
                const int ri = n.resources.at(li);
                put32(rsrc, ld + 16 + 8 * li, m_resources.at(ri).language);
                put32(rsrc, ld + 16 + 8 * li + 4, quint32(dataEntries.at(ri)));
            }
        }
    }
    for (int i = 0; i < m_resources.size(); ++i) {
        const Resource& r = m_resources.at(i);
        const quint32 rva = r.unmappedRva ? kUnmappedRva : kRsrcRva + quint32(dataAt.at(i));
        put32(rsrc, dataEntries.at(i), rva);
        put32(rsrc, dataEntries.at(i) + 4, quint32(r.data.size()));
        rsrc.replace(dataAt.at(i), r.data.size(), r.data);
    }
    for (auto s = strings.cbegin(); s != strings.cend(); ++s) {
        put16(rsrc, s.value(), quint16(s.key().size()));
        for (int c = 0; c < s.key().size(); ++c)
            put16(rsrc, s.value() + 2 + 2 * c, s.key().at(c).unicode());
    }

    const bool plus = m_format == Format::Pe32Plus;
    const qint64 optionalSize = plus ? 240 : 224;
    const qint64 rawRsrcSize = align(rsrcSize, kFileAlignment);
    QByteArray file(kRsrcRaw + rawRsrcSize, '\0');
    // DOS header
    put16(file, 0, 0x5A4D);
    put32(file, 0x3C, 0x40);
    // PE signature and COFF header
    put32(file, 0x40, 0x00004550);
    put16(file, 0x44, plus ? 0x8664 : 0x14C);
    put16(file, 0x46, 2);
    put16(file, 0x44 + 16, quint16(optionalSize));
    put16(file, 0x44 + 18, 0x2102);
    // Optional header
    const qint64 opt = 0x58;
    put16(file, opt, m_magicSet ? m_magic : (plus ? 0x20B : 0x10B));
    if (plus) {
        put32(file, opt + 24, 0x10000000);
    } else {
        put32(file, opt + 28, 0x10000000);
    }
    put32(file, opt + 32, kSectionAlignment);
    put32(file, opt + 36, kFileAlignment);
    put16(file, opt + 40, 4);  // OS version
    put16(file, opt + 48, 4);  // subsystem version
    put32(file, opt + 56, quint32(kRsrcRva + align(rsrcSize, kSectionAlignment)));
    put32(file, opt + 60, quint32(kTextRaw));
    put16(file, opt + 68, 2);
    put32(file, opt + (plus ? 108 : 92), 16);
    const qint64 dataDir = opt + (plus ? 128 : 112);
    quint32 resourceRva = kRsrcRva;
    if (m_rvaZero)
        resourceRva = 0;
    else if (m_rvaUnmapped)
        resourceRva = kUnmappedRva;
    put32(file, dataDir, resourceRva);
    put32(file, dataDir + 4, quint32(rsrcSize));
    // Section table
    const qint64 sections = opt + optionalSize;
    file.replace(sections, 5, ".text");
    put32(file, sections + 8, 0x10);
    put32(file, sections + 12, kTextRva);
    put32(file, sections + 16, kFileAlignment);
    put32(file, sections + 20, quint32(kTextRaw));
    put32(file, sections + 36, 0x60000020);
    file.replace(sections + 40, 5, ".rsrc");
    put32(file, sections + 48, quint32(rsrcSize));
    put32(file, sections + 52, kRsrcRva);
    put32(file, sections + 56, quint32(rawRsrcSize));
    put32(file, sections + 60, quint32(kRsrcRaw));
    put32(file, sections + 76, 0x40000040);
    m_headersEnd = sections + 80;
    m_resourceStart = kRsrcRaw;
    m_directoryEnd = kRsrcRaw + (m_directoryEnd - kRsrcRaw);
    file[kTextRaw] = char(0xC3);
    file.replace(kRsrcRaw, rsrc.size(), rsrc);
    return file;
}
