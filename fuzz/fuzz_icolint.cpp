// The lint checks on arbitrary bytes: as an .ico file, and, when the PE reader finds
// icon groups in them, every group with the file's RT_ICON images.

#include <QBuffer>

#include "fuzzcommon.h"
#include "ico/icolint.h"
#include "pe/peresourcereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = FuzzCommon::bytes(data, size);
    IcoLint::checkIcoBytes(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    IconResourceSet set;
    if (readIconResources(buffer, set)) {
        for (const QByteArray& group : set.groups)
            IcoLint::checkGroup(group, set.icons);
    }
    return 0;
}
