#include "iconmodule.h"

#include <QDir>
#include <QFileInfo>

#include "systemresources.h"

#ifdef Q_OS_WIN
#include <cstdint>
#include <vector>

#include "win32/winmodule.h"
#else
#include "iconresourceset.h"
#include "peresourcereader.h"
#endif

#ifdef Q_OS_WIN

struct IconModule::Source
{
    explicit Source(const QString& path)
        : module(QDir::toNativeSeparators(path).toStdWString())
    {
    }
    winplatform::Module module;
};

namespace {

IconResourceName fromNative(const winplatform::ResourceName& name)
{
    return name.isId ? IconResourceName::fromId(name.id)
                     : IconResourceName::fromString(QString::fromStdWString(name.name));
}

winplatform::ResourceName toNative(const IconResourceName& name)
{
    winplatform::ResourceName result;
    result.isId = name.isId;
    result.id = name.id;
    result.name = name.name.toStdWString();
    return result;
}

QByteArray toByteArray(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

} // namespace

bool IconModule::open(const QString& path)
{
    m_source = std::make_unique<Source>(path);
    m_resourcePath = path;
    return m_source->module.isOpen();
}

bool IconModule::isOpen() const
{
    return m_source && m_source->module.isOpen();
}

QList<IconResourceName> IconModule::iconGroupNames(bool* ok) const
{
    QList<IconResourceName> names;
    if (!isOpen()) {
        if (ok)
            *ok = false;
        return names;
    }
    for (const winplatform::ResourceName& name : m_source->module.iconGroupNames(ok))
        names.append(fromNative(name));
    return names;
}

QByteArray IconModule::groupData(const IconResourceName& name) const
{
    std::vector<std::uint8_t> bytes;
    if (!isOpen() || !m_source->module.groupData(toNative(name), bytes))
        return QByteArray();
    return toByteArray(bytes);
}

QByteArray IconModule::iconData(quint16 id) const
{
    std::vector<std::uint8_t> bytes;
    if (!isOpen() || !m_source->module.iconData(id, bytes))
        return QByteArray();
    return toByteArray(bytes);
}

#else

// The program's own reader stands in for the loader: it keeps each group's name, the
// first stored language of every name, and the last of RT_ICONs sharing an ID.
struct IconModule::Source
{
    bool open = false;
    IconResourceSet resources;
};

bool IconModule::open(const QString& path)
{
    m_source = std::make_unique<Source>();
    m_resourcePath = path;
    // The loader refuses what is not a file; the reader's own log lines say why a file
    // could not be read.
    if (!QFileInfo(path).isFile())
        return false;
    m_source->open = readIconResources(path, m_source->resources);
    return m_source->open;
}

bool IconModule::isOpen() const
{
    return m_source && m_source->open;
}

QList<IconResourceName> IconModule::iconGroupNames(bool* ok) const
{
    if (ok)
        *ok = isOpen();
    return isOpen() ? m_source->resources.groupNames : QList<IconResourceName>();
}

QByteArray IconModule::groupData(const IconResourceName& name) const
{
    if (!isOpen())
        return QByteArray();
    const qsizetype index = m_source->resources.groupNames.indexOf(name);
    return index < 0 ? QByteArray() : m_source->resources.groups.at(index);
}

QByteArray IconModule::iconData(quint16 id) const
{
    return isOpen() ? m_source->resources.icons.value(id) : QByteArray();
}

#endif

IconModule::IconModule(const QString& path)
{
    // A library with no icon group of its own gives way to its .mun, when there is one.
    const bool opened = open(path);
    if (opened && !iconGroupNames().isEmpty())
        return;
    const QString mun = SystemResources::munFallback(path);
    if (mun.isEmpty())
        return;
    auto library = std::move(m_source);
    if (open(mun) && !iconGroupNames().isEmpty())
        return;
    m_source = std::move(library);
    m_resourcePath = path;
}

IconModule::~IconModule() = default;
