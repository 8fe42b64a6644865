#pragma once

// A stretch of an open file mapped into memory for reading, where the system allows it
// (Unix): its bytes without a copy, for readers that go through most of them once, as
// lint goes through every icon of a library.
//
// A file that another program truncates while it is mapped loses the pages past its new
// end, and reading one of them raises SIGBUS.  Each mapping is registered with a handler
// that then puts a page of zeros in its place: the reader sees zeros where the file was
// cut, and judges them as the bytes they are, instead of the program being killed.

#include <QFileDevice>

#include <memory>

namespace MappedBytes {

// length bytes at offset of file (open for reading), mapped while the returned pointer
// or a copy of it lives; null when the file cannot be mapped here or the range is not
// all in the file, and the caller reads it instead.
std::shared_ptr<const char> map(QFileDevice& file, qint64 offset, qint64 length);

} // namespace MappedBytes
