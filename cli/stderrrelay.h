#pragma once

// libpng, under Qt's PNG reader, prints its errors itself ("libpng error: IDAT: CRC
// error") with fprintf on stderr: Qt gives it no error handler, and libpng has no other
// hook.  So while the relay runs, the tool's stderr is a pipe that one thread reads: a
// line of libpng's becomes a warning line of the program's log (dropped by -q, formatted
// as the others), and every other line goes on unchanged, in the order it was written.
// Only where stderr can be redirected this way (not on Windows).

#include <thread>

class StderrRelay
{
public:
    StderrRelay();
    // The lines still in the pipe written out, stderr given back.
    ~StderrRelay();
    StderrRelay(const StderrRelay&) = delete;
    StderrRelay& operator=(const StderrRelay&) = delete;

    // As the destructor, early: before a fatal message, whose abort() would lose what the
    // thread has not written yet.  The relay of the process, if any.
    static void finishRunning();

private:
    void finish();
    void relay();

    int m_pipe = -1;     // the read end; stderr (fd 2) is the write end
    int m_stderr = -1;   // the real stderr
    std::thread m_thread;
};
