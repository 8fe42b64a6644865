#pragma once

// The three listings of icon groups: each reads one source, decodes every image of every
// icon group and appends one IconGroupRecord per group (one for an .ico file) to records.
// They touch no widget; the caller (today glyphora-cli list) hands in the list to fill and
// shows what was appended.
//
// Bounds on files nobody here wrote:
// - A group's entries are read only as far as its payload goes; an .ico entry whose
//   offset and length reach past the end of the file is skipped with a debug line.
// - The payload bytes handed to the decoders may not exceed kInputBudgetFactor times the
//   file's size (real entries do not overlap, so one time would do; the rest is for
//   shared images), and the decoded images of one listing may not exceed
//   kMaxListingImageBytes; past either the listing stops with a warning and keeps what it
//   has, so a directory of 65535 entries naming one large image cannot exhaust memory.

#include <QList>
#include <QString>

#include "icongrouprecord.h"

namespace IconListing {

constexpr qint64 kInputBudgetFactor = 4;
constexpr qint64 kMaxListingImageBytes = qint64(1) << 30;
// An .ico is read whole; the largest real ones hold a few megabytes.
constexpr qint64 kMaxIcoFileBytes = qint64(256) << 20;

// A library through the module loader (IconModule): one record per group with an integer
// ID, id and name = that ID.  False when the library cannot be loaded or enumerated.
bool loadIconLibrary(const QString& path, QList<IconGroupRecord>& records);

// An .exe/.dll through the PE resource reader: one record per group, integer or string
// named, id = the RT_ICON ID of the group's last decoded image (-1 when none), name = the
// group's own name.  False when the file cannot be read.
bool listFileIcons(const QString& path, QList<IconGroupRecord>& records);

// An .ico file: exactly one record, id 0.  False when the file cannot be opened.
bool loadIcoFile(const QString& path, QList<IconGroupRecord>& records);
// The same on the bytes of a whole .ico file.
void listIcoBytes(const QByteArray& bytes, QList<IconGroupRecord>& records);

// The entry with the greatest width, the first one winning ties; -1 when there is none.
int bestEntryIndex(const QList<IconImageEntry>& entries);

} // namespace IconListing
