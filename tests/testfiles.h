#pragma once

// Small files read or written whole, as the tests set up inputs and look at outputs.

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole file; empty when it cannot be opened.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file with bytes; false when it could not be written whole.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
