#pragma once

// The program-wide list behind the Extract tab: row n of its list view is record n.
// Touched by one thread at a time (the GUI thread, or the initial load's task before it
// hands its records back); it has no lock.

#include <QList>

#include "icongrouprecord.h"

namespace ExtractIconGlobal {

extern QList<IconGroupRecord> IconResourceList;

} // namespace ExtractIconGlobal
