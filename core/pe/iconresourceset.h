#pragma once

// What the PE resource reader collects from a file: every RT_ICON payload by its ID and
// every RT_GROUP_ICON payload in the order the directory walk met them.

#include <QByteArray>
#include <QList>
#include <QMap>

#include <memory>

#include "iconresourcename.h"

struct IconResourceSet
{
    // RT_ICON ID -> payload; a later payload with the same ID replaces the earlier one.
    QMap<quint16, QByteArray> icons;
    // RT_GROUP_ICON payloads in directory order, integer IDs and string names alike.
    QList<QByteArray> groups;
    // The name of groups[i], kept for the module loader layer (listings do not use it).
    QList<IconResourceName> groupNames;
    // Read with PayloadStorage::Shared: the stretch of the file the payloads above are
    // views of (mapped, or read in one go), kept while this set or a copy of it lives.
    std::shared_ptr<const char> storage;
    qint64 storageBytes = 0;

    bool isEmpty() const { return icons.isEmpty() && groups.isEmpty(); }
};
