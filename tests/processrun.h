#pragma once

// Runs a program to its end, as a build script would, and keeps what it said.

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <sys/resource.h>

#include <csignal>
#include <functional>

struct Run
{
    int exitCode = -1;  // -1: did not finish in a minute, or crashed
    QByteArray out;
    QByteArray err;
};

// inChild, when given, runs in the child before the program starts (a resource limit).
inline Run run(const QString& program, const QStringList& args, const std::function<void()>& inChild = {})
{
    QProcess process;
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start(program, args);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// For inChild: files may grow to bytes only.  A write past that fails with EFBIG (the
// signal it would raise is ignored), as a write to a full disk fails with ENOSPC: a
// full disk for a test, without mounting one.
inline std::function<void()> fileSizeLimit(qint64 bytes)
{
    return [bytes] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{rlim_t(bytes), rlim_t(bytes)};
        setrlimit(RLIMIT_FSIZE, &size);
    };
}
