#include <signal.h>
#include <unistd.h>

#include "gwbus/log.h"

static volatile sig_atomic_t g_stop;

static void on_term(int) { g_stop = 1; }

int main()
{
    api_sysLogOpen("ZEP[gwagent]");
    signal(SIGUSR1, SIG_IGN);
    signal(SIGTERM, on_term);
    GWLOG(LOG_LVL_NOTICE, "gwagent started");
    while (!g_stop)
        pause();
    GWLOG(LOG_LVL_NOTICE, "gwagent exit");
    api_sysLogClose();
    return 0;
}
