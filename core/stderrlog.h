#pragma once

#include <QtGlobal>

class QMessageLogContext;
class QString;

// Writes one log line to stderr, formatted as Qt's own handler formats it.  The Windows
// programs log through it: there the cross-built Qt's default handler loses every line,
// in the GUI program and in the console tool alike.
void writeLogLineToStderr(QtMsgType type, const QMessageLogContext& context, const QString& message);
