#include "stderrrelay.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cerrno>
#include <cstdio>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

#include "clicommand.h"

namespace {

std::atomic<StderrRelay*> running{nullptr};

#ifndef Q_OS_WIN
// libpng's png_default_error: "libpng error: " and the message (its warnings reach Qt's
// handler and the log already)
constexpr char kLibpngError[] = "libpng error: ";

void writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// line: one line as it was written, with its '\n' when it had one.
QByteArray relayed(const QByteArray& line)
{
    if (!line.startsWith(kLibpngError))
        return line;
    if (Cli::quiet())
        return QByteArray();
    const QString message = QString::fromLocal8Bit(line).trimmed();
    return qFormatLogMessage(QtWarningMsg, QMessageLogContext(), message).toLocal8Bit() + '\n';
}
#endif

} // namespace

StderrRelay::StderrRelay()
{
#ifndef Q_OS_WIN
    int ends[2];
    m_stderr = ::dup(STDERR_FILENO);
    if (m_stderr < 0)
        return;
    if (::pipe(ends) != 0) {
        ::close(m_stderr);
        m_stderr = -1;
        return;
    }
    std::fflush(stderr);
    if (::dup2(ends[1], STDERR_FILENO) < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        ::close(m_stderr);
        m_stderr = -1;
        return;
    }
    ::close(ends[1]);
    m_pipe = ends[0];
    m_thread = std::thread([this] { relay(); });
    running = this;
#endif
}

StderrRelay::~StderrRelay()
{
    finish();
}

void StderrRelay::finishRunning()
{
    if (StderrRelay* relay = running.exchange(nullptr))
        relay->finish();
}

void StderrRelay::finish()
{
#ifndef Q_OS_WIN
    StderrRelay* self = this;
    running.compare_exchange_strong(self, nullptr);
    if (m_stderr < 0)
        return;
    // Giving fd 2 back closes the pipe's only write end: the thread reads to the end.
    std::fflush(stderr);
    ::dup2(m_stderr, STDERR_FILENO);
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_stderr);
    m_stderr = -1;
    ::close(m_pipe);
    m_pipe = -1;
#endif
}

void StderrRelay::relay()
{
#ifndef Q_OS_WIN
    const int out = m_stderr;
    QByteArray pending;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_pipe, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(chunk, n);
        qsizetype start = 0;
        for (qsizetype end; (end = pending.indexOf('\n', start)) >= 0; start = end + 1)
            writeAll(out, relayed(pending.mid(start, end + 1 - start)));
        pending.remove(0, start);
    }
    if (!pending.isEmpty())
        writeAll(out, relayed(pending));
#endif
}
