// Helpers of the agent tests: plugin-server messages in, answers out of the plugin queue.
#ifndef TESTS_AGENT_AGENT_UTIL_HPP
#define TESTS_AGENT_AGENT_UTIL_HPP

#include <string>
#include <vector>

#include <jansson.h>

#include "commands/cmd_json.h"

namespace agenttest {

std::string b64(const std::string &bytes);
std::string unb64(const std::string &text);

// {"RPCMethod":..,"ID":id,"PluginName":plugin,"Parameter":base64(command)} as a jansson object.
gwagent::JsonPtr post_message(int id, const std::string &command, const std::string &plugin = "ZEP",
                              const std::string &method = "Post");
// Parses literal JSON (the test fails on a typo).
gwagent::JsonPtr parse(const std::string &json);

// Feeds a message through handle_server_rpc_message with its own RPCMethod.
int dispatch(json_t *msg);
int dispatch_command(int id, const std::string &command, const std::string &method = "Post",
                     const std::string &plugin = "ZEP");

// Takes every text waiting on the plugin server's queue.
std::vector<std::string> drain_plugin_queue();
// The decoded answer objects of the wrapped texts; a text that is no {"Result":0,"ID":..} wrap gives
// "<bad wrap>".
std::vector<std::string> drain_answers();

// Whether this build has a working UCI library (a stand-in that refuses every access is used while
// none is built); probed in the current run-time root.
bool uci_available();
#define GW_REQUIRE_UCI()                                                                                               \
    do {                                                                                                               \
        if (!agenttest::uci_available())                                                                               \
            GTEST_SKIP() << "this build has no UCI library (stand-in only)";                                           \
    } while (0)

// Device capabilities as a full-featured gateway has them.
void set_capable_device();

}  // namespace agenttest

#endif
