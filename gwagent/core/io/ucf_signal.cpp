// Signal handling of the agent: SIGTERM ends the main loop; a watchdog ends the process when the loop
// cannot get there in time.
#include <semaphore.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <thread>

#include "core/io/ucf_io.h"
#include "gwbus/log.h"

volatile sig_atomic_t g_ucf_terminate = 0;

namespace {

sem_t g_term_sem;
bool g_watchdog_started = false;

}  // namespace

// The shutdown work (the pause, closing the log, ending the bus thread) is not async-signal-safe,
// so it runs after uloop_run returns rather than inside the handler.
extern "C" void ucf_sig_handler(int sig)
{
    if (sig != SIGTERM)
        return;
    g_ucf_terminate = 1;
    uloop_end();
    if (g_watchdog_started)
        sem_post(&g_term_sem);
}

// The main loop may sit in a synchronous bus call when SIGTERM comes; the init system expects the
// process gone within its grace, so after grace_ms the watchdog ends it wherever the loop is.
extern "C" int ucf_term_watchdog_start(unsigned grace_ms)
{
    if (g_watchdog_started)
        return 0;
    if (sem_init(&g_term_sem, 0, 0) != 0)
        return -1;
    g_watchdog_started = true;
    std::thread([grace_ms] {
        while (sem_wait(&g_term_sem) != 0) {
        }
        struct timespec pause = {static_cast<time_t>(grace_ms / 1000), static_cast<long>(grace_ms % 1000) * 1000000L};
        while (nanosleep(&pause, &pause) != 0) {
        }
        GWLOG(LOG_LVL_WARN, "shutdown did not finish in %u ms, exit now.", grace_ms);
        _exit(0);
    }).detach();
    return 0;
}
