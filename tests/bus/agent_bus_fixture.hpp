// The agent's bus thread and local message queue in this process, on the private bus with the
// configuration simulator; bus calls reach the service the way any other process's would.
#ifndef TESTS_BUS_AGENT_BUS_FIXTURE_HPP
#define TESTS_BUS_AGENT_BUS_FIXTURE_HPP

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "bus/gwagent_dbus.h"
#include "bus/gwagent_mq.h"
#include "bus/gwagent_status.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "platform/conn.h"
#include "platform/records.h"

namespace agentbus {

class AgentBusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ready());
        uloop_init();
        gwagent_queues_init();
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        memset(app_domain_info, 0, sizeof app_domain_info);
        memset(&g_cc_stm, 0, sizeof g_cc_stm);
        memset(&g_dev_info, 0, sizeof g_dev_info);
        // Pushes made on the bus thread are handed to this one, as to the agent's main loop.
        gwagent_msg_handoff_init();
        ASSERT_EQ(gwagent_mq_open(), 0);
    }
    void TearDown() override
    {
        gwagent_dbus_done();
        gwagent_mq_close();
        gwagent_msg_handoff_done();
        for (struct uloop_timeout *t : {&g_timeout_relogin, &g_timeout_nexthb, &g_timeout_plugin_hb})
            uloop_timeout_cancel(t);
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        uloop_done();
    }
    // Starts the bus thread for a device of this type and waits until it serves.
    void start(unsigned dev_type = 4, unsigned work_mode = 1)
    {
        g_dev_info.DevType = static_cast<uint8_t>(dev_type);
        g_dev_info.WorkMode = static_cast<uint8_t>(work_mode);
        ASSERT_EQ(gwagent_dbus_init(), 0);
        ASSERT_TRUE(gwtest::wait_until([] { return gwagent_dbus_name_acquired() && gwagent_dbus_object_registered(); }))
            << "the service did not come up";
    }
    // A call of the agent's interface: the reply in GLib text with types, or "ERROR: <name>".
    static std::string call(const char *method, GVariant *args)
    {
        gw::ErrorPtr err;
        gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        if (!conn)
            return "ERROR: no bus";
        gw::VariantPtr reply(g_dbus_connection_call_sync(conn.get(), GWAGENT_DBUS_NAME, GWAGENT_DBUS_PATH,
                                                         GWAGENT_DBUS_IFACE, method, args, nullptr,
                                                         G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
        if (!reply) {
            gw::GCharPtr name(g_dbus_error_get_remote_error(err.get()));
            return std::string("ERROR: ") + (name ? name.get() : gw::error_text(err));
        }
        gw::GCharPtr text(g_variant_print(reply.get(), TRUE));
        return text.get();
    }
    // A property: a text as it is, a number in decimal, a failure as "ERROR: <name>".
    static std::string property(const char *name)
    {
        gw::ErrorPtr err;
        gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        gw::VariantPtr reply(g_dbus_connection_call_sync(
            conn.get(), GWAGENT_DBUS_NAME, GWAGENT_DBUS_PATH, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", GWAGENT_DBUS_IFACE, name), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 10000,
            nullptr, gw::ErrorOut(err)));
        if (!reply) {
            gw::GCharPtr remote(g_dbus_error_get_remote_error(err.get()));
            return std::string("ERROR: ") + (remote ? remote.get() : gw::error_text(err));
        }
        GVariant *raw = nullptr;
        g_variant_get(reply.get(), "(v)", &raw);
        const gw::VariantPtr v(raw);
        if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING))
            return g_variant_get_string(v.get(), nullptr);
        if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE_UINT32))
            return std::to_string(g_variant_get_uint32(v.get()));
        return std::string("type ") + g_variant_get_type_string(v.get());
    }
    // What waits in the message queue, read until `want` bytes came or the wait ran out.
    static std::string read_queue(size_t want, std::chrono::milliseconds within = std::chrono::milliseconds(5000))
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
            struct pollfd p = {g_fd_mq_read.fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            char buf[256];
            const ssize_t n = read(g_fd_mq_read.fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
    void emit(const std::string &path, const std::string &iface, const std::string &member, const std::string &payload)
    {
        sim.control("EmitSignal",
                    g_variant_new("(ssss)", path.c_str(), iface.c_str(), member.c_str(), payload.c_str()));
    }
    // The report at the head of the message server's queue.
    static std::string report_head()
    {
        void *p = nullptr;
        if (fifo_buffer_get_head(&g_msg_srv_fifo_buf, &p, nullptr) != 0)
            return "<empty>";
        return static_cast<char *>(p);
    }

    gwtest::Igd1Sim &sim = gwtest::Igd1Sim::fresh();
    gwtest::TempRoot root;
    gwtest::LogCapture log;
};

}  // namespace agentbus

#endif
