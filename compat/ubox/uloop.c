/* epoll based event loop. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "libubox/uloop.h"

#define ULOOP_MAX_EVENTS 10

struct uloop_fd_event {
    struct uloop_fd *fd;
    unsigned int events;
};

bool uloop_cancelled = false;
/* As in the real loop: children are reaped by the loop unless the program turns this off before uloop_init. */
bool uloop_handle_sigchld = true;

static LIST_HEAD(timeouts);
static int poll_fd = -1;
static int waker_pipe[2] = {-1, -1};
static struct uloop_fd waker_fd;
static int run_depth;
static volatile sig_atomic_t uloop_status;
static volatile sig_atomic_t do_sigchld;

/* Events fetched by the current epoll round; a descriptor deleted by a handler is cleared here so
 * the rest of the round never touches it again. */
static struct uloop_fd_event cur_fds[ULOOP_MAX_EVENTS];
static int cur_fd, cur_nfds;

static void uloop_gettime(struct timeval *tv)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    tv->tv_sec = ts.tv_sec;
    tv->tv_usec = ts.tv_nsec / 1000;
}

static int64_t tv_diff(const struct timeval *t1, const struct timeval *t2)
{
    return (int64_t)(t1->tv_sec - t2->tv_sec) * 1000 + (t1->tv_usec - t2->tv_usec) / 1000;
}

static void waker_consume(struct uloop_fd *u, unsigned int events)
{
    char buf[16];
    (void)events;
    while (read(u->fd, buf, sizeof(buf)) > 0)
        ;
}

static int uloop_init_pollfd(void)
{
    if (poll_fd >= 0)
        return 0;
    poll_fd = epoll_create1(EPOLL_CLOEXEC);
    return poll_fd < 0 ? -1 : 0;
}

static int waker_init(void)
{
    if (waker_pipe[0] >= 0)
        return 0;
    if (pipe2(waker_pipe, O_CLOEXEC | O_NONBLOCK) < 0)
        return -1;
    waker_fd.fd = waker_pipe[0];
    waker_fd.cb = waker_consume;
    return uloop_fd_add(&waker_fd, ULOOP_READ);
}

static void uloop_setup_signals(bool add);

/* The signal handlers belong to the loop from uloop_init to uloop_done, as in the real one. */
int uloop_init(void)
{
    if (uloop_init_pollfd() < 0)
        return -1;
    if (waker_init() < 0) {
        uloop_done();
        return -1;
    }
    uloop_setup_signals(true);
    return 0;
}

static void uloop_signal_wake(int signo)
{
    int saved = errno;
    char c = (char)signo;
    if (waker_pipe[1] >= 0 && write(waker_pipe[1], &c, 1) < 0) {
        /* pipe full: a wake-up is already queued */
    }
    errno = saved;
}

static void uloop_handle_sigint(int signo)
{
    uloop_status = signo;
    uloop_cancelled = true;
    uloop_signal_wake(signo);
}

static void uloop_sigchld(int signo)
{
    do_sigchld = 1;
    uloop_signal_wake(signo);
}

/* There are no process watchers here: every child that ended is reaped and forgotten. */
static void uloop_handle_processes(void)
{
    int status;

    do_sigchld = 0;
    for (;;) {
        pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid < 0 && errno == EINTR)
            continue;
        if (pid <= 0)
            return;
    }
}

/* Only takes over a signal that still has its default disposition, so a handler the program
 * installed itself keeps working; on removal restores what was there if it is still ours. */
static void uloop_install_handler(int signum, void (*handler)(int), struct sigaction *old, bool add)
{
    struct sigaction s;

    sigaction(signum, NULL, &s);
    if (add) {
        if (s.sa_handler == SIG_DFL) {
            memcpy(old, &s, sizeof(s));
            s.sa_handler = handler;
            s.sa_flags = 0;
            sigemptyset(&s.sa_mask);
            sigaction(signum, &s, NULL);
        }
    } else if (s.sa_handler == handler) {
        sigaction(signum, old, NULL);
    }
}

static void uloop_ignore_signal(int signum, bool ignore)
{
    struct sigaction s;
    void (*new_handler)(int) = ignore ? SIG_IGN : SIG_DFL;

    sigaction(signum, NULL, &s);
    if (ignore ? s.sa_handler != SIG_DFL : s.sa_handler != SIG_IGN)
        return;
    s.sa_handler = new_handler;
    sigaction(signum, &s, NULL);
}

static void uloop_setup_signals(bool add)
{
    static struct sigaction old_sigint, old_sigterm, old_sigchld;
    static bool ignored_pipe;

    uloop_install_handler(SIGINT, uloop_handle_sigint, &old_sigint, add);
    uloop_install_handler(SIGTERM, uloop_handle_sigint, &old_sigterm, add);
    if (uloop_handle_sigchld)
        uloop_install_handler(SIGCHLD, uloop_sigchld, &old_sigchld, add);
    if (add) {
        struct sigaction s;
        sigaction(SIGPIPE, NULL, &s);
        if (s.sa_handler == SIG_DFL) {
            ignored_pipe = true;
            uloop_ignore_signal(SIGPIPE, true);
        }
    } else if (ignored_pipe) {
        uloop_ignore_signal(SIGPIPE, false);
        ignored_pipe = false;
    }
}

int uloop_fd_add(struct uloop_fd *sock, unsigned int flags)
{
    struct epoll_event ev;
    int op;

    if (!sock || sock->fd < 0)
        return -1;
    if (uloop_init_pollfd() < 0)
        return -1;
    if (!(flags & (ULOOP_READ | ULOOP_WRITE)))
        return uloop_fd_delete(sock);

    if (!sock->registered && !(flags & ULOOP_BLOCKING)) {
        int fl = fcntl(sock->fd, F_GETFL);
        if (fl >= 0)
            fcntl(sock->fd, F_SETFL, fl | O_NONBLOCK);
    }

    memset(&ev, 0, sizeof(ev));
    /* Hang-up of the peer is reported with read events, as eof. */
    if (flags & ULOOP_READ)
        ev.events |= EPOLLIN | EPOLLRDHUP;
    if (flags & ULOOP_WRITE)
        ev.events |= EPOLLOUT;
    if (flags & ULOOP_EDGE_TRIGGER)
        ev.events |= EPOLLET;
    ev.data.ptr = sock;

    op = sock->registered ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    /* A descriptor still marked registered from before uloop_done() is unknown to a new epoll set. */
    if (epoll_ctl(poll_fd, op, sock->fd, &ev) < 0 &&
        (op != EPOLL_CTL_MOD || errno != ENOENT || epoll_ctl(poll_fd, EPOLL_CTL_ADD, sock->fd, &ev) < 0))
        return -1;

    /* Every add starts the descriptor afresh: a re-add that only switches direction clears eof and error too. */
    sock->flags = (uint8_t)flags;
    sock->registered = true;
    sock->eof = false;
    sock->error = false;
    return 0;
}

int uloop_fd_delete(struct uloop_fd *sock)
{
    int i;

    if (!sock)
        return -1;
    for (i = cur_fd; i < cur_nfds; i++) {
        if (cur_fds[i].fd == sock)
            cur_fds[i].fd = NULL;
    }
    if (!sock->registered)
        return 0;
    sock->registered = false;
    sock->flags = 0;
    if (poll_fd < 0)
        return 0;
    /* The descriptor may already be closed; epoll forgets closed descriptors by itself. */
    epoll_ctl(poll_fd, EPOLL_CTL_DEL, sock->fd, NULL);
    return 0;
}

static void uloop_run_events(int timeout)
{
    struct epoll_event events[ULOOP_MAX_EVENTS];
    int n, nfds;

    nfds = epoll_wait(poll_fd, events, ULOOP_MAX_EVENTS, timeout);
    if (nfds < 0)
        return;

    for (n = 0; n < nfds; n++) {
        cur_fds[n].fd = events[n].data.ptr;
        cur_fds[n].events = events[n].events;
    }
    cur_nfds = nfds;

    for (cur_fd = 0; cur_fd < cur_nfds; cur_fd++) {
        struct uloop_fd *u = cur_fds[cur_fd].fd;
        uint32_t e = cur_fds[cur_fd].events;
        unsigned int ev = 0;

        if (!u)
            continue;
        cur_fds[cur_fd].fd = NULL;

        if (e & (EPOLLERR | EPOLLHUP)) {
            u->error = true;
            if (!(u->flags & ULOOP_ERROR_CB))
                uloop_fd_delete(u);
        }
        if (!(e & (EPOLLRDHUP | EPOLLIN | EPOLLOUT | EPOLLERR | EPOLLHUP)))
            continue;
        if (e & EPOLLRDHUP)
            u->eof = true;
        if (e & EPOLLIN)
            ev |= ULOOP_READ;
        if (e & EPOLLOUT)
            ev |= ULOOP_WRITE;

        if (u->cb)
            u->cb(u, ev);
        if (uloop_cancelled)
            break;
    }
    cur_nfds = 0;
    cur_fd = 0;
}

int uloop_timeout_add(struct uloop_timeout *timeout)
{
    struct uloop_timeout *tmp;
    struct list_head *h = &timeouts;

    if (!timeout || timeout->pending)
        return -1;

    list_for_each_entry(tmp, &timeouts, list)
    {
        if (tv_diff(&tmp->time, &timeout->time) > 0) {
            h = &tmp->list;
            break;
        }
    }
    list_add_tail(&timeout->list, h);
    timeout->pending = true;
    return 0;
}

int uloop_timeout_set(struct uloop_timeout *timeout, int msecs)
{
    struct timeval *time;

    if (!timeout)
        return -1;
    time = &timeout->time;
    if (timeout->pending)
        uloop_timeout_cancel(timeout);

    uloop_gettime(time);
    if (msecs < 0)
        msecs = 0;
    time->tv_sec += msecs / 1000;
    time->tv_usec += (msecs % 1000) * 1000;
    if (time->tv_usec >= 1000000) {
        time->tv_sec++;
        time->tv_usec -= 1000000;
    }
    return uloop_timeout_add(timeout);
}

int uloop_timeout_cancel(struct uloop_timeout *timeout)
{
    if (!timeout || !timeout->pending)
        return -1;
    list_del(&timeout->list);
    timeout->pending = false;
    return 0;
}

int64_t uloop_timeout_remaining64(struct uloop_timeout *timeout)
{
    struct timeval now;

    if (!timeout || !timeout->pending)
        return -1;
    uloop_gettime(&now);
    return tv_diff(&timeout->time, &now);
}

int uloop_timeout_remaining(struct uloop_timeout *timeout)
{
    int64_t td = uloop_timeout_remaining64(timeout);

    if (td > INT_MAX)
        return INT_MAX;
    if (td < INT_MIN)
        return INT_MIN;
    return (int)td;
}

bool uloop_cancelling(void) { return run_depth > 0 && uloop_cancelled; }

static int uloop_get_next_timeout(void)
{
    struct uloop_timeout *timeout;
    struct timeval tv;
    int64_t diff;

    if (list_empty(&timeouts))
        return -1;
    uloop_gettime(&tv);
    timeout = list_first_entry(&timeouts, struct uloop_timeout, list);
    diff = tv_diff(&timeout->time, &tv);
    if (diff < 0)
        return 0;
    if (diff > INT_MAX)
        return INT_MAX;
    return (int)diff;
}

static void uloop_process_timeouts(void)
{
    struct timeval tv;

    uloop_gettime(&tv);
    while (!list_empty(&timeouts) && !uloop_cancelled) {
        struct uloop_timeout *t = list_first_entry(&timeouts, struct uloop_timeout, list);

        if (tv_diff(&t->time, &tv) > 0)
            break;
        uloop_timeout_cancel(t);
        if (t->cb)
            t->cb(t);
    }
}

/* timeout < 0: runs until uloop_end() or a signal. timeout >= 0: one pass, as the real loop does: due
 * timeouts, then the events of at most `timeout` ms (less if a timeout falls due sooner), then returns. */
int uloop_run_timeout(int timeout)
{
    int next_time;

    if (uloop_init() < 0)
        return -1;
    run_depth++;
    uloop_status = 0;
    uloop_cancelled = false;
    do {
        uloop_process_timeouts();
        if (do_sigchld)
            uloop_handle_processes();
        if (uloop_cancelled)
            break;
        next_time = uloop_get_next_timeout();
        if (timeout >= 0 && (next_time < 0 || timeout < next_time))
            next_time = timeout;
        uloop_run_events(next_time);
    } while (!uloop_cancelled && timeout < 0);
    --run_depth;
    return uloop_status;
}

void uloop_done(void)
{
    struct uloop_timeout *t, *tmp;

    uloop_setup_signals(false);
    if (waker_pipe[0] >= 0) {
        uloop_fd_delete(&waker_fd);
        close(waker_pipe[0]);
        close(waker_pipe[1]);
        waker_pipe[0] = waker_pipe[1] = -1;
    }
    if (poll_fd >= 0) {
        close(poll_fd);
        poll_fd = -1;
    }
    list_for_each_entry_safe(t, tmp, &timeouts, list) { uloop_timeout_cancel(t); }
}
