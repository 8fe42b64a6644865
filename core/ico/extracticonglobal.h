#pragma once

// The program-wide list of icon groups, kept for the Extract tab's list view (row n is
// record n); no form fills it yet, and glyphora-cli lists into a list of its own.  It has
// no lock: only one thread may touch it at a time.

#include <QList>

#include "icongrouprecord.h"

namespace ExtractIconGlobal {

extern QList<IconGroupRecord> IconResourceList;

} // namespace ExtractIconGlobal
