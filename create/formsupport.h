#pragma once

// Small helpers the rooms of the Create form share.

#include <QLatin1String>
#include <QSettings>
#include <QString>

#include "kvglobal.h"

namespace FormSupport {

constexpr int kSourcePage = 0;
constexpr int kEditPage = 1;

// Clears a ready flag for the lifetime of the guard and gives back the value it had, so
// that changes made to the controls meanwhile are not fed back into the composition.
class NotReady
{
public:
    explicit NotReady(bool& flag)
        : flag(flag)
        , previous(flag)
    {
        flag = false;
    }
    ~NotReady() { flag = previous; }
    NotReady(const NotReady&) = delete;
    NotReady& operator=(const NotReady&) = delete;

private:
    bool& flag;
    bool previous;
};

inline QString iconResource(const char* dark, const char* light)
{
    return QStringLiteral(":/resources/images/") + QLatin1String(KvGlobal::isDarkColorScheme() ? dark : light);
}

inline QSettings pathSettings()
{
    return QSettings(QStringLiteral("Vantrel"), QStringLiteral("Glyphora"));
}

} // namespace FormSupport
