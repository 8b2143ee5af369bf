/* The smallest plug-in: waits for its container to end it. Built static, so it needs nothing from the
 * container's root file system. */
#include <signal.h>
#include <unistd.h>

static void on_term(int sig)
{
    (void)sig;
    _exit(0);
}

int main(void)
{
    signal(SIGTERM, on_term);
    for (;;)
        pause();
}
