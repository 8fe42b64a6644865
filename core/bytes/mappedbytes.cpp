#include "mappedbytes.h"

#if defined(Q_OS_UNIX)
#include <atomic>
#include <csignal>
#include <mutex>

#include <sys/mman.h>
#include <unistd.h>
#endif

namespace MappedBytes {

#if defined(Q_OS_UNIX)
namespace {

// The mappings the SIGBUS handler answers for: a fixed table, as the handler may run at
// any moment and can neither lock nor allocate.  A slot is free while its end is 0.
constexpr int kSlots = 64;
std::atomic<quintptr> g_begin[kSlots];
std::atomic<quintptr> g_end[kSlots];
quintptr g_pageSize = 4096;
struct sigaction g_previous;

void onBusError(int signal, siginfo_t* info, void* context)
{
    const quintptr address = quintptr(info->si_addr);
    for (int i = 0; i < kSlots; ++i) {
        if (address >= g_begin[i].load() && address < g_end[i].load()) {
            // The page is past the file's new end: zeros in its place, and the read that
            // faulted is made again.
            void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
            if (mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
                return;
            break;
        }
    }
    // Not a mapping of ours: what would have happened without this handler.
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (!(g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_handler != SIG_DFL
               && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        // The faulting read runs again and ends the program as it would have.
        std::signal(SIGBUS, SIG_DFL);
    }
}

void installHandler()
{
    g_pageSize = quintptr(sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

int claimSlot(quintptr begin, quintptr end)
{
    for (int i = 0; i < kSlots; ++i) {
        quintptr free = 0;
        // The begin is set while the slot's end is still a marker no address reaches.
        if (g_end[i].compare_exchange_strong(free, 1)) {
            g_begin[i].store(begin);
            g_end[i].store(end);
            return i;
        }
    }
    return -1;
}

} // namespace

std::shared_ptr<const char> map(QFileDevice& file, qint64 offset, qint64 length)
{
    const int fd = file.handle();
    if (fd < 0 || offset < 0 || length <= 0 || offset > file.size() || length > file.size() - offset)
        return nullptr;
    static std::once_flag installed;
    std::call_once(installed, installHandler);
    const qint64 start = offset - offset % qint64(g_pageSize);
    const size_t bytes = size_t(length + (offset - start));
    void* mapped = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, off_t(start));
    if (mapped == MAP_FAILED)
        return nullptr;
    const quintptr begin = quintptr(mapped);
    const int slot = claimSlot(begin, begin + bytes);
    if (slot < 0) {
        munmap(mapped, bytes);
        return nullptr;
    }
    const char* data = static_cast<const char*>(mapped) + (offset - start);
    return std::shared_ptr<const char>(data, [mapped, bytes, slot](const char*) {
        g_end[slot].store(1);
        munmap(mapped, bytes);
        g_begin[slot].store(0);
        g_end[slot].store(0);
    });
}
#else
std::shared_ptr<const char> map(QFileDevice&, qint64, qint64)
{
    return nullptr;
}
#endif

} // namespace MappedBytes
