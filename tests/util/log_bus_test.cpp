// The log level follows "LogLevelChanged" on the private bus.
#include <chrono>
#include <string>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwtest.hpp"

namespace {

using namespace std::chrono_literals;

class LogBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        gwtest::PrivateBus::instance();
        api_sysLogClose();
        g_logLevel = 7;
    }
    void TearDown() override
    {
        api_sysLogClose();
        g_logLevel = 7;
    }
    void set_uci_level(const std::string &name)
    {
        root.write("/etc/config/log", "config temp 'temp'\n\toption log_level '" + name + "'\n");
    }
    // The log thread subscribes asynchronously: emit until the threshold moves, a bounded number of
    // times.
    bool emit_until_level(int want)
    {
        for (int i = 0; i < 50; ++i) {
            api_sysLogEmitSignal(5, 60);
            if (gwtest::wait_until([&] { return g_logLevel == want; }, 200ms))
                return true;
        }
        return false;
    }

    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

struct Listener {
    Listener()
    {
        gw::ErrorPtr err;
        conn.reset(g_dbus_connection_new_for_address_sync(
            gwtest::PrivateBus::instance().address().c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, gw::ErrorOut(err)));
        if (!conn)
            return;
        sub = g_dbus_connection_signal_subscribe(conn.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                                 G_DBUS_SIGNAL_FLAGS_NONE, on_signal, this, nullptr);
        // A round trip makes sure the match rule is in place before anything is emitted.
        gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                     "org.freedesktop.DBus", "GetId", nullptr, nullptr,
                                                     G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr));
    }
    ~Listener()
    {
        if (conn && sub)
            g_dbus_connection_signal_unsubscribe(conn.get(), sub);
        if (conn)
            g_dbus_connection_close_sync(conn.get(), nullptr, nullptr);
    }
    static void on_signal(GDBusConnection *, const gchar *, const gchar *path, const gchar *iface, const gchar *name,
                          GVariant *params, gpointer user)
    {
        auto *self = static_cast<Listener *>(user);
        if (std::string(name) != "LogLevelChanged")
            return;
        self->path = path;
        self->iface = iface;
        self->arg_count = params ? static_cast<int>(g_variant_n_children(params)) : 0;
        ++self->received;
    }
    gw::ConnectionPtr conn;
    guint sub = 0;
    int received = 0;
    int arg_count = -1;
    std::string path, iface;
};

TEST_F(LogBus, EmitSignalBroadcastsWithoutArguments)
{
    Listener listener;
    ASSERT_TRUE(listener.conn);
    g_logLevel = 7;
    api_sysLogEmitSignal(4, 600);
    EXPECT_EQ(g_logLevel, 4);
    ASSERT_TRUE(gwtest::wait_until([&] { return listener.received == 1; }, 5000ms));
    EXPECT_EQ(listener.path, "/com/yvc/gwagent1");
    EXPECT_EQ(listener.iface, "com.yvc.gwagent1");
    EXPECT_EQ(listener.arg_count, 0);
}

TEST_F(LogBus, EmitSignalLogsOldAndNewValues)
{
    g_logLevel = 7;
    api_sysLogEmitSignal(7, 600);
    api_sysLogEmitSignal(7, 30);
    EXPECT_TRUE(logs.contains("change log level from debug to debug"));
    EXPECT_TRUE(logs.contains("change log duration from 600 seconds to 30 seconds"));
    EXPECT_FALSE(logs.contains("failed"));
}

TEST_F(LogBus, LevelThreadRereadsUciOnSignal)
{
    set_uci_level("err");
    api_sysLogOpen("ZEP[plughost]");
    ASSERT_EQ(g_logLevel, 3);
    set_uci_level("debug");
    ASSERT_TRUE(emit_until_level(7));
    EXPECT_TRUE(gwtest::wait_until([&] { return logs.contains("g_logLevel change to debug(7)!"); }, 5000ms));
}

TEST_F(LogBus, UnknownUciLevelOnSignalFallsBackToErr)
{
    set_uci_level("debug");
    api_sysLogOpen("ZEP[plughost]");
    set_uci_level("chatty");
    ASSERT_TRUE(emit_until_level(3));
    g_logLevel = 7;  // let the thread's own lines through
    api_sysLogEmitSignal(6, 60);
    EXPECT_TRUE(gwtest::wait_until([&] { return logs.contains("get log level num failed!"); }, 5000ms));
}

TEST_F(LogBus, MissingUciLevelOnSignalFallsBackToErr)
{
    set_uci_level("debug");
    api_sysLogOpen("ZEP[plughost]");
    root.write("/etc/config/log", "config temp 'temp'\n");
    ASSERT_TRUE(emit_until_level(3));
}

TEST_F(LogBus, CloseStopsListening)
{
    set_uci_level("debug");
    api_sysLogOpen("ZEP[plughost]");
    set_uci_level("info");
    ASSERT_TRUE(emit_until_level(6));
    api_sysLogClose();
    set_uci_level("crit");
    g_logLevel = 7;
    // Nothing listens any more: the threshold stays where the emitter put it.
    Listener listener;
    api_sysLogEmitSignal(5, 60);
    ASSERT_TRUE(gwtest::wait_until([&] { return listener.received == 1; }, 5000ms));
    EXPECT_EQ(g_logLevel, 5);
}

TEST_F(LogBus, OpenCloseCyclesLeaveNoThreadBehind)
{
    set_uci_level("info");
    for (int i = 0; i < 20; ++i) {
        api_sysLogOpen("ZEP[plughost]");
        api_sysLogClose();
    }
    EXPECT_EQ(logs.count("Connect the system bus failed"), 0u);
}

}  // namespace
