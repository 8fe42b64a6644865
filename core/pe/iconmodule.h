#pragma once

// A library seen through the module loader: its RT_GROUP_ICON names as the loader
// reports them (integer IDs and string names, in the loader's order) and the payload of
// a group or of an RT_ICON by ID.  On Windows this is the system loader
// (winplatform::Module: the library is mapped as a data file and image resource, so no
// code of it runs); elsewhere it is the program's own PE resource reader, which keeps
// each group's name for the purpose.
//
// Since Windows 10 1903 many system libraries keep their icons in the Windows folder's
// SystemResources\NAME.mun and hold none themselves: a library with no icon group is
// replaced by that file when it exists.

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

#include "iconresourcename.h"

class IconModule
{
public:
    explicit IconModule(const QString& path);
    ~IconModule();
    IconModule(const IconModule&) = delete;
    IconModule& operator=(const IconModule&) = delete;

    bool isOpen() const;
    // The file whose resources are read: the library, or its .mun.
    QString resourcePath() const { return m_resourcePath; }

    // ok (if given) is false when the enumeration did not complete.
    QList<IconResourceName> iconGroupNames(bool* ok = nullptr) const;
    // Empty when the resource is missing.
    QByteArray groupData(const IconResourceName& name) const;
    QByteArray iconData(quint16 id) const;

private:
    struct Source;
    bool open(const QString& path);

    std::unique_ptr<Source> m_source;
    QString m_resourcePath;
};
