#include "extracticonglobal.h"

namespace ExtractIconGlobal {

QList<IconGroupRecord> IconResourceList;

} // namespace ExtractIconGlobal
