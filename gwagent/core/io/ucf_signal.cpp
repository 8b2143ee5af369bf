// Signal handling of the agent: SIGTERM ends the main loop.
#include <csignal>

#include "core/io/ucf_io.h"

volatile sig_atomic_t g_ucf_terminate = 0;

// The shutdown work (the pause, closing the log, ending the bus thread) is not async-signal-safe,
// so it runs after uloop_run returns rather than inside the handler.
extern "C" void ucf_sig_handler(int sig)
{
    if (sig != SIGTERM)
        return;
    g_ucf_terminate = 1;
    uloop_end();
}
