#pragma once

#include <QObject>

// The child of parent with that object name and type; a test cannot go on without it.
template <typename T>
T* requireChild(const QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}
