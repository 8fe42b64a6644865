// The PE resource reader on arbitrary bytes, then the .ico assembly of every group found.

#include <QBuffer>

#include "fuzzcommon.h"
#include "ico/icoassembly.h"
#include "pe/peresourcereader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QBuffer buffer;
    buffer.setData(FuzzCommon::bytes(data, size));
    buffer.open(QIODevice::ReadOnly);
    IconResourceSet set;
    if (readIconResources(buffer, set)) {
        for (const QByteArray& group : set.groups)
            IcoAssembly::assembleGroupAsIco(group, set.icons);
    }
    return 0;
}
