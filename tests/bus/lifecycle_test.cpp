// The library's own event-loop thread.
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "standin.hpp"

namespace {

struct Delivery {
    std::atomic<int> calls{0};
    char thread_name[32] = "";
};

void on_signal(const char *, const char *, const char *, const char *, GVariant *, void *ud)
{
    auto *d = static_cast<Delivery *>(ud);
    pthread_getname_np(pthread_self(), d->thread_name, sizeof d->thread_name);
    d->calls++;
}

bool poll_for(const std::function<bool()> &cond)
{
    // The loop thread owns the default context here, so plain polling is all the test thread does.
    for (int i = 0; i < 1000; ++i) {
        if (cond())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

TEST(EventLoop, SignalsAreDeliveredOnTheLibraryThreadUntilClose)
{
    gwtest::StandIn svc;
    gwtest::LogCapture log;
    g_logLevel = 7;
    Delivery d;
    long id = h_dbus_SubscribeSignal(nullptr, "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                     "CheckHardwareStatus", on_signal, &d);
    ASSERT_GT(id, 0);
    ASSERT_EQ(0, libgwbus_init());
    ASSERT_NE(nullptr, api_loop);
    svc.emit("/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd", "CheckHardwareStatus", nullptr);
    ASSERT_TRUE(poll_for([&] { return d.calls.load() == 1; }));
    // The kernel keeps 15 characters of a thread name.
    EXPECT_EQ(std::string("libgwbus-mainLoop").substr(0, 15), d.thread_name);
    EXPECT_TRUE(log.contains("start libgwbus event loop"));

    libgwbus_close();
    EXPECT_EQ(nullptr, api_loop);
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
}

TEST(EventLoop, CloseRightAfterInitDoesNotHang)
{
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(0, libgwbus_init());
        libgwbus_close();
        EXPECT_EQ(nullptr, api_loop);
    }
    libgwbus_close();  // no loop: nothing to do
}

}  // namespace
