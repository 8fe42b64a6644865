#pragma once

// Reads the icon resources of a Portable Executable file (.exe, .dll, .mun) straight
// from disk, without the operating system's loader: the PE headers lead to the resource
// section, whose three-level directory (type, name, language) holds the RT_ICON (3) and
// RT_GROUP_ICON (14) payloads.

#include <QList>
#include <QString>

#include <optional>

#include "iconresourceset.h"

class QIODevice;

namespace PeResourceReader {

constexpr quint16 kDosMagic = 0x5A4D;          // "MZ"
constexpr quint32 kPeSignature = 0x00004550;   // "PE\0\0"
constexpr quint16 kPe32Magic = 0x10B;
constexpr quint16 kPe32PlusMagic = 0x20B;
constexpr quint32 kRtIcon = 3;
constexpr quint32 kRtGroupIcon = 14;

struct Section
{
    quint32 virtualSize = 0;
    quint32 virtualAddress = 0;
    quint32 pointerToRawData = 0;
};

// The file offset of an RVA: the first section with VirtualAddress <= rva <
// VirtualAddress + VirtualSize maps it to rva - VirtualAddress + PointerToRawData.
// Nothing when no section holds it or when the result is 0.
std::optional<qint64> mapRva(quint32 rva, const QList<Section>& sections);

enum class PayloadStorage {
    Owned,   // each payload its own copy, which outlives the set
    Shared,  // views into IconResourceSet::storage, valid while the set (or a copy) lives
};

// Reads the file at path.  False after a logged failure; an empty set is a success, as
// for a PE file without a resource directory.
bool readIconResources(const QString& path, IconResourceSet& result,
                       PayloadStorage storage = PayloadStorage::Owned);
// The same on an open, seekable device (a QFile, or a QBuffer in the fuzz targets).
bool readIconResources(QIODevice& device, IconResourceSet& result,
                       PayloadStorage storage = PayloadStorage::Owned);

} // namespace PeResourceReader

using PeResourceReader::PayloadStorage;
using PeResourceReader::readIconResources;
