#pragma once

// The name of a resource as the loader reports it: an integer ID (the low 16 bits of
// the directory entry's Name) or a string (a directory entry whose Name has the high
// bit set points at a counted UTF-16 string).

#include <QString>
#include <QtGlobal>

struct IconResourceName
{
    bool isId = true;
    quint16 id = 0;
    QString name;

    static IconResourceName fromId(quint16 id)
    {
        IconResourceName result;
        result.id = id;
        return result;
    }

    static IconResourceName fromString(const QString& name)
    {
        IconResourceName result;
        result.isId = false;
        result.name = name;
        return result;
    }

    // "#12" for an ID, the string itself otherwise (the form FindResource accepts).
    QString toString() const { return isId ? QStringLiteral("#%1").arg(id) : name; }

    friend bool operator==(const IconResourceName& a, const IconResourceName& b)
    {
        return a.isId == b.isId && (a.isId ? a.id == b.id : a.name == b.name);
    }
};
