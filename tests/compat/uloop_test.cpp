// The event loop as the agent uses it: timeouts, descriptor events, hang-ups and the signals that end it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "gwtest.hpp"

namespace {

class Uloop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(uloop_init(), 0); }
    void TearDown() override { uloop_done(); }
};

std::vector<std::string> g_order;

struct Named {
    uloop_timeout t{};
    const char *name;
};

void record_cb(uloop_timeout *t) { g_order.push_back(reinterpret_cast<Named *>(t)->name); }

void end_cb(uloop_timeout *) { uloop_end(); }

TEST_F(Uloop, TimeoutsFireInDeadlineOrderAndCancelledOnesNever)
{
    g_order.clear();
    Named a{{}, "a"}, b{{}, "b"}, c{{}, "c"}, gone{{}, "gone"};
    for (Named *n : {&a, &b, &c, &gone})
        n->t.cb = record_cb;
    uloop_timeout stop{};
    stop.cb = end_cb;
    ASSERT_EQ(uloop_timeout_set(&c.t, 30), 0);
    ASSERT_EQ(uloop_timeout_set(&a.t, 5), 0);
    ASSERT_EQ(uloop_timeout_set(&b.t, 15), 0);
    ASSERT_EQ(uloop_timeout_set(&gone.t, 10), 0);
    ASSERT_EQ(uloop_timeout_set(&stop, 60), 0);
    EXPECT_TRUE(gone.t.pending);
    EXPECT_EQ(uloop_timeout_cancel(&gone.t), 0);
    EXPECT_FALSE(gone.t.pending);
    EXPECT_EQ(uloop_timeout_cancel(&gone.t), -1);
    uloop_run();
    EXPECT_EQ(g_order, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(a.t.pending);
}

TEST_F(Uloop, RemainingCountsDownAndResettingMovesTheDeadline)
{
    uloop_timeout t{};
    t.cb = record_cb;
    EXPECT_EQ(uloop_timeout_remaining64(&t), -1);
    uloop_timeout_set(&t, 5000);
    int64_t left = uloop_timeout_remaining64(&t);
    EXPECT_GT(left, 4000);
    EXPECT_LE(left, 5000);
    uloop_timeout_set(&t, 100000);
    EXPECT_GT(uloop_timeout_remaining64(&t), 90000);
    // Adding a pending timeout again is refused, as the real loop does.
    EXPECT_EQ(uloop_timeout_add(&t), -1);
    uloop_timeout_cancel(&t);
}

TEST_F(Uloop, RunTimeoutReturnsWithoutEvents)
{
    uloop_timeout far{};
    far.cb = end_cb;
    uloop_timeout_set(&far, 60000);
    EXPECT_EQ(uloop_run_timeout(20), 0);
    EXPECT_TRUE(far.pending);
    uloop_timeout_cancel(&far);
}

struct Pair {
    int fd[2]{-1, -1};
    Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
    ~Pair()
    {
        for (int f : fd)
            if (f >= 0)
                close(f);
    }
};

struct Reader {
    uloop_fd u{};
    std::string got;
    unsigned events = 0;
    int calls = 0;
    bool saw_eof = false, saw_error = false;
};

void reader_cb(uloop_fd *u, unsigned events)
{
    auto *r = reinterpret_cast<Reader *>(u);
    ++r->calls;
    r->events |= events;
    char buf[64];
    ssize_t n;
    while ((n = read(u->fd, buf, sizeof buf)) > 0)
        r->got.append(buf, static_cast<size_t>(n));
    r->saw_eof = r->saw_eof || u->eof;
    r->saw_error = r->saw_error || u->error;
    if (u->eof || u->error || r->got.size() >= 5)
        uloop_end();
}

TEST_F(Uloop, ReadEventsDeliverDataThenEofOnPeerClose)
{
    Pair p;
    Reader r;
    r.u.fd = p.fd[0];
    r.u.cb = reader_cb;
    ASSERT_EQ(uloop_fd_add(&r.u, ULOOP_READ), 0);
    EXPECT_TRUE(r.u.registered);
    ASSERT_EQ(write(p.fd[1], "hello", 5), 5);
    uloop_timeout guard{};
    guard.cb = end_cb;
    uloop_timeout_set(&guard, 5000);
    uloop_run();
    EXPECT_EQ(r.got, "hello");
    EXPECT_TRUE(r.events & ULOOP_READ);

    close(p.fd[1]);
    p.fd[1] = -1;
    uloop_run();
    EXPECT_TRUE(r.saw_eof);
    EXPECT_TRUE(guard.pending) << "the loop ended on its guard, not on the hang-up";
    uloop_timeout_cancel(&guard);
    uloop_fd_delete(&r.u);
    EXPECT_FALSE(r.u.registered);
}

struct Writer {
    uloop_fd u{};
    int calls = 0;
};

void writer_cb(uloop_fd *u, unsigned events)
{
    auto *w = reinterpret_cast<Writer *>(u);
    if (events & ULOOP_WRITE) {
        ++w->calls;
        // Going back to read-only mode must stop the write events.
        uloop_fd_add(u, ULOOP_READ);
    }
}

TEST_F(Uloop, ChangingTheFlagsOfARegisteredDescriptorStopsWriteEvents)
{
    Pair p;
    Writer w;
    w.u.fd = p.fd[0];
    w.u.cb = writer_cb;
    ASSERT_EQ(uloop_fd_add(&w.u, ULOOP_WRITE), 0);
    EXPECT_EQ(uloop_run_timeout(50), 0);
    EXPECT_EQ(w.calls, 1);
    uloop_fd_delete(&w.u);
}

struct Victim {
    uloop_fd a{}, b{};
    int a_calls = 0, b_calls = 0;
} * g_victim;

void deleter_cb(uloop_fd *u, unsigned)
{
    ++g_victim->a_calls;
    char c;
    while (read(u->fd, &c, 1) > 0) {
    }
    // Dropping the other descriptor while its event is already fetched in this round.
    uloop_fd_delete(&g_victim->b);
    uloop_end();
}

void dropped_cb(uloop_fd *u, unsigned)
{
    ++g_victim->b_calls;
    char c;
    while (read(u->fd, &c, 1) > 0) {
    }
    uloop_fd_delete(&g_victim->a);
    uloop_end();
}

TEST_F(Uloop, DescriptorDeletedByAnotherCallbackIsNotCalledInTheSameRound)
{
    Pair p1, p2;
    Victim v;
    g_victim = &v;
    v.a.fd = p1.fd[0];
    v.a.cb = deleter_cb;
    v.b.fd = p2.fd[0];
    v.b.cb = dropped_cb;
    ASSERT_EQ(uloop_fd_add(&v.a, ULOOP_READ), 0);
    ASSERT_EQ(uloop_fd_add(&v.b, ULOOP_READ), 0);
    ASSERT_EQ(write(p1.fd[1], "x", 1), 1);
    ASSERT_EQ(write(p2.fd[1], "y", 1), 1);
    uloop_run_timeout(2000);
    // Whichever ran first dropped the other, which must then stay silent.
    EXPECT_EQ(v.a_calls + v.b_calls, 1);
    uloop_fd_delete(&v.a);
    uloop_fd_delete(&v.b);
}

void error_keeper_cb(uloop_fd *u, unsigned)
{
    auto *r = reinterpret_cast<Reader *>(u);
    ++r->calls;
    r->saw_eof = r->saw_eof || u->eof;
    r->saw_error = r->saw_error || u->error;
    uloop_end();
}

TEST_F(Uloop, ErrorCallbackFlagKeepsTheDescriptorForItsHandler)
{
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    Reader r;
    r.u.fd = fds[1];
    r.u.cb = error_keeper_cb;
    close(fds[0]);  // the write end now reports an error
    ASSERT_EQ(uloop_fd_add(&r.u, ULOOP_READ | ULOOP_ERROR_CB), 0);
    // A bounded run is one pass, which may still be busy with events fetched earlier.
    for (int i = 0; i < 100 && r.calls == 0; ++i)
        uloop_run_timeout(20);
    EXPECT_EQ(r.calls, 1);
    EXPECT_TRUE(r.saw_error || r.saw_eof);
    EXPECT_TRUE(r.u.registered);
    uloop_fd_delete(&r.u);
    close(fds[1]);
}

struct Juggler {
    Named first{{}, "first"}, twin{{}, "twin"}, late{{}, "late"}, now{{}, "now"};
    int rearms = 0;
};
Juggler *g_juggler = nullptr;

void juggle_cb(uloop_timeout *t)
{
    record_cb(t);
    Juggler &j = *g_juggler;
    if (t == &j.first.t) {
        uloop_timeout_cancel(&j.twin.t);
        uloop_timeout_set(&j.now.t, 0);
    } else if (t == &j.now.t && ++j.rearms < 3) {
        uloop_timeout_set(&j.now.t, 0);
    }
}

TEST_F(Uloop, TimeoutCallbacksMayCancelDueOnesAndArmNewOnes)
{
    g_order.clear();
    Juggler j;
    g_juggler = &j;
    for (Named *n : {&j.first, &j.twin, &j.late, &j.now})
        n->t.cb = juggle_cb;
    uloop_timeout stop{};
    stop.cb = end_cb;
    // Same deadline for first and twin: added first, fired first; twin is cancelled while already due.
    ASSERT_EQ(uloop_timeout_set(&j.first.t, 5), 0);
    j.twin.t.time = j.first.t.time;
    ASSERT_EQ(uloop_timeout_add(&j.twin.t), 0);
    ASSERT_EQ(uloop_timeout_set(&j.late.t, 40), 0);
    ASSERT_EQ(uloop_timeout_set(&stop, 80), 0);
    uloop_run();
    EXPECT_EQ(g_order, (std::vector<std::string>{"first", "now", "now", "now", "late"}));
    EXPECT_FALSE(j.twin.t.pending);
    g_juggler = nullptr;
}

// The callback drops its own descriptor and frees it; the loop must not touch it afterwards.
void self_free_cb(uloop_fd *u, unsigned)
{
    uloop_fd_delete(u);
    delete u;
    uloop_end();
}

TEST_F(Uloop, DescriptorFreedInsideItsOwnCallbackIsNotTouchedAgain)
{
    Pair p;
    auto *u = new uloop_fd{};
    u->fd = p.fd[0];
    u->cb = self_free_cb;
    ASSERT_EQ(uloop_fd_add(u, ULOOP_READ | ULOOP_WRITE), 0);
    ASSERT_EQ(write(p.fd[1], "x", 1), 1);
    EXPECT_EQ(uloop_run_timeout(2000), 0);
    uloop_timeout none{};
    none.cb = end_cb;
    uloop_timeout_set(&none, 10);
    // More passes with the freed descriptor gone, until the timeout has fired.
    for (int i = 0; i < 100 && none.pending; ++i)
        uloop_run_timeout(20);
    EXPECT_FALSE(none.pending);
}

void counter_cb(uloop_fd *u, unsigned)
{
    auto *r = reinterpret_cast<Reader *>(u);
    ++r->calls;
    char buf[64];
    while (read(u->fd, buf, sizeof buf) > 0) {
    }
}

// A bounded run is one pass: it returns once the ready descriptor was handled, long before its bound.
TEST_F(Uloop, BoundedRunReturnsAfterOnePassOfEvents)
{
    Pair p;
    Reader r;
    r.u.fd = p.fd[0];
    r.u.cb = counter_cb;
    ASSERT_EQ(uloop_fd_add(&r.u, ULOOP_READ), 0);
    ASSERT_EQ(write(p.fd[1], "x", 1), 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(uloop_run_timeout(10000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.calls, 1);
    uloop_fd_delete(&r.u);
}

// The wait of a bounded run ends when a timeout falls due; a following pass fires it.
TEST_F(Uloop, BoundedRunWakesForTheNextTimeout)
{
    g_order.clear();
    Named soon{{}, "soon"};
    soon.t.cb = record_cb;
    ASSERT_EQ(uloop_timeout_set(&soon.t, 20), 0);
    const auto start = std::chrono::steady_clock::now();
    uloop_run_timeout(10000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    uloop_run_timeout(0);
    EXPECT_EQ(g_order, (std::vector<std::string>{"soon"}));
}

// The agent re-adds a descriptor to switch direction and then reads these flags: each add clears them.
TEST_F(Uloop, EveryAddClearsEofAndError)
{
    Pair p;
    Reader r;
    r.u.fd = p.fd[0];
    r.u.cb = reader_cb;
    ASSERT_EQ(uloop_fd_add(&r.u, ULOOP_READ | ULOOP_ERROR_CB), 0);
    close(p.fd[1]);
    p.fd[1] = -1;
    for (int i = 0; i < 100 && !r.saw_eof && !r.saw_error; ++i)
        uloop_run_timeout(20);
    ASSERT_TRUE(r.u.eof || r.u.error);
    ASSERT_EQ(uloop_fd_add(&r.u, ULOOP_WRITE | ULOOP_ERROR_CB), 0);
    EXPECT_FALSE(r.u.eof);
    EXPECT_FALSE(r.u.error);
    uloop_fd_delete(&r.u);
}

// Children that end are reaped by the loop unless the program said otherwise before uloop_init.
TEST_F(Uloop, EndedChildrenAreReapedByTheLoop)
{
    EXPECT_TRUE(uloop_handle_sigchld);
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    ASSERT_GT(pid, 0);
    // WNOWAIT looks without reaping: it fails with ECHILD once the loop has reaped the child.
    siginfo_t info{};
    int got = 0;
    for (int i = 0; i < 250 && (got = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT)) == 0;
         ++i)
        uloop_run_timeout(20);
    EXPECT_EQ(got, -1) << "the child was not reaped by the loop";
    EXPECT_EQ(errno, ECHILD);
}

// Runs body in a child with a fresh loop; returns the child's exit status.
template <typename F> int in_child(F body)
{
    pid_t pid = fork();
    if (pid == 0) {
        alarm(10);
        _exit(body());
    }
    return gwtest::wait_child(pid);
}

void own_handler(int) {}

int g_signal = 0;

// The handlers are the loop's from uloop_init (a signal during start-up is not lost) to uloop_done.
TEST(UloopSignals, SigtermAndSigintEndTheLoopAndTheDefaultComesBackAtDone)
{
    for (int sig : {SIGTERM, SIGINT}) {
        g_signal = sig;
        int status = in_child([] {
            uloop_init();
            struct sigaction now {};
            sigaction(g_signal, nullptr, &now);
            if (now.sa_handler == SIG_DFL)
                return 7;
            uloop_timeout kill_me{}, stop{};
            kill_me.cb = [](uloop_timeout *) { kill(getpid(), g_signal); };
            stop.cb = end_cb;
            uloop_timeout_set(&kill_me, 10);
            uloop_timeout_set(&stop, 5000);
            uloop_run();
            const int rc = uloop_cancelled && stop.pending ? 0 : 3;
            uloop_done();
            sigaction(g_signal, nullptr, &now);
            return now.sa_handler == SIG_DFL ? rc : 6;
        });
        ASSERT_TRUE(WIFEXITED(status)) << sig << " status " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0) << sig;
    }
}

TEST(UloopSignals, ProgramsOwnHandlerInstalledFirstIsKept)
{
    int status = in_child([] {
        struct sigaction sa {};
        sa.sa_handler = own_handler;
        sigaction(SIGTERM, &sa, nullptr);
        uloop_init();
        uloop_timeout kill_me{}, stop{};
        kill_me.cb = [](uloop_timeout *) { kill(getpid(), SIGTERM); };
        stop.cb = end_cb;
        uloop_timeout_set(&kill_me, 10);
        uloop_timeout_set(&stop, 200);
        uloop_run();
        // Ended by the timer: the signal went to the program's handler, which does nothing.
        int rc = stop.pending ? 4 : 0;
        struct sigaction now {};
        sigaction(SIGTERM, nullptr, &now);
        if (now.sa_handler != own_handler)
            rc = 5;
        uloop_done();
        return rc;
    });
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
