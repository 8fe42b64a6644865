#include "stderrlog.h"

#include <QString>

#include <cstdio>

void writeLogLineToStderr(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, message).toLocal8Bit().constData());
    std::fflush(stderr);
}
