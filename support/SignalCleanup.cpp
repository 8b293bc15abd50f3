#include "support/SignalCleanup.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace quillmap {

namespace {

// The temporary files being written, for the signal handler: each a folder descriptor and a
// name in an atomic slot, since a handler may neither lock nor allocate.
struct Temp
{
    int folder;
    char name[32];
};
constexpr int kSlots = 64;
std::atomic<Temp*> g_temps[kSlots];
constexpr int kSignals[3] = {SIGHUP, SIGINT, SIGTERM};
struct sigaction g_previous[3];

// While content is being copied into a target (which a signal must not leave half old, half
// new) the low bits count the copies under way and a signal that comes meanwhile waits in the
// high bits, to be acted on when the last copy ends.
std::atomic<unsigned> g_copying{0};
constexpr unsigned kSignalShift = 16;

void removeTempsAndResend(int sig)
{
    for (std::atomic<Temp*>& slot : g_temps)
        if (Temp* temp = slot.exchange(nullptr))
            ::unlinkat(temp->folder, temp->name, 0); // the Temp is left: freeing may not be safe
    // Then whatever the signal did before: by default end the program (the signal is raised
    // again and delivered once this handler returns).
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] != sig)
            continue;
        ::sigaction(sig, &g_previous[i], nullptr);
        if (g_previous[i].sa_handler != SIG_IGN)
            ::raise(sig);
    }
}

void onSignal(int sig)
{
    unsigned state = g_copying.load();
    while ((state & ((1u << kSignalShift) - 1)) != 0) {
        if (g_copying.compare_exchange_weak(state, (state & ((1u << kSignalShift) - 1)) |
                                                       unsigned(sig) << kSignalShift))
            return;
    }
    removeTempsAndResend(sig);
}

void installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < 3; ++i) {
            struct sigaction action
            {
            };
            action.sa_handler = onSignal;
            sigemptyset(&action.sa_mask);
            for (int s : kSignals)
                sigaddset(&action.sa_mask, s);
            ::sigaction(kSignals[i], &action, &g_previous[i]);
            // A signal the program ignores stays ignored.
            if (g_previous[i].sa_handler == SIG_IGN)
                ::sigaction(kSignals[i], &g_previous[i], nullptr);
        }
    });
}

} // namespace

void SignalCleanup::beginCopy()
{
    installHandlers();
    g_copying.fetch_add(1);
}

void SignalCleanup::endCopy()
{
    unsigned state = g_copying.load();
    unsigned next;
    do {
        next = state - 1;
        if ((next & ((1u << kSignalShift) - 1)) == 0)
            next = 0;
    } while (!g_copying.compare_exchange_weak(state, next));
    if (next == 0 && (state >> kSignalShift) != 0)
        removeTempsAndResend(int(state >> kSignalShift));
}

int SignalCleanup::registerTemp(int folder, const QByteArray& name)
{
    installHandlers();
    auto* temp = new Temp{folder, {}};
    std::strncpy(temp->name, name.constData(), sizeof temp->name - 1);
    for (int i = 0; i < kSlots; ++i) {
        Temp* expected = nullptr;
        if (g_temps[i].compare_exchange_strong(expected, temp))
            return i;
    }
    delete temp; // more files at once than slots: these are not cleaned up on a signal
    return -1;
}

void SignalCleanup::unregisterTemp(int slot)
{
    if (slot >= 0)
        delete g_temps[slot].exchange(nullptr);
}

} // namespace quillmap
