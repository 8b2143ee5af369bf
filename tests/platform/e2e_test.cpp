// The gwagent binary against the platform simulator and the configuration simulator: the whole road
// from Boot to a command's answer, the version report and a pushd report through the FIFO.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "agentio_util.hpp"
#include "commands/cmd_table.h"
#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"

namespace {

using namespace std::chrono_literals;

const char *kVendor = "ACME01";
const char *kVendorKey = "vk-0123456789abc";

std::string platsim_path() { return gwtest::build_dir() + "/sim/platform/platsim.py"; }

bool exists(const std::string &p)
{
    struct stat st {};
    return stat(p.c_str(), &st) == 0;
}

std::map<std::string, int> ready_ports(const std::string &line)
{
    std::map<std::string, int> ports;
    std::istringstream in(line);
    std::string word;
    in >> word;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq != std::string::npos)
            ports[word.substr(0, eq)] = std::stoi(word.substr(eq + 1));
    }
    return ports;
}

// The platform simulator on loopback: the given ports (0: any free one), the ports it took in `ports`.
gwtest::Child start_platsim(const gwtest::TempRoot &root, const std::map<std::string, int> &want,
                            std::map<std::string, int> &ports, const std::string &commands = "",
                            const std::string &misbehave = "", const std::string &gate = "")
{
    std::vector<std::string> argv = {
        "/usr/bin/python3", platsim_path(), "--vendor-code", kVendor,
        "--vendor-key",     kVendorKey,     "--hb-interval", "5",
        "--root",           root.dir(),     "--state",       root.path("/hgutmp/platsim.state")};
    for (const char *name : {"distr", "plugin", "msg"}) {
        argv.push_back(std::string("--") + name + "-port");
        argv.push_back(std::to_string(want.count(name) ? want.at(name) : 0));
    }
    if (!commands.empty()) {
        argv.push_back("--commands");
        argv.push_back(commands);
    }
    if (!misbehave.empty()) {
        argv.push_back("--misbehave");
        argv.push_back(misbehave);
    }
    if (!gate.empty()) {
        argv.push_back("--commands-gate");
        argv.push_back(gate);
    }
    gwtest::Child sim(argv, {}, true);
    std::string line;
    if (sim.read_line(line, 15s) && line.rfind("READY ", 0) == 0)
        ports = ready_ports(line);
    else
        ADD_FAILURE() << "simulator did not start: " << line;
    return sim;
}

// The agent binary in the root, its log on a file of the root.
gwtest::Child start_agent(const gwtest::TempRoot &root, int distr_port, const std::string &log_path)
{
    const std::string prov = gwtest::build_dir() + "/sim/tools/gwprovision";
    EXPECT_EQ(agentio::run_program({prov, "--root", root.dir(), "--vendor", kVendor, "--vendor-key", kVendorKey,
                                    "--server", "127.0.0.1", "--port", std::to_string(distr_port)}),
              0);
    return gwtest::Child({gwtest::build_dir() + "/gwagent/gwagent"},
                         {{"GW_ROOT", root.dir()},
                          {"GW_LOG_STDERR", "1"},
                          {"DBUS_SYSTEM_BUS_ADDRESS", gwtest::PrivateBus::instance().address()}},
                         false, log_path);
}

std::string read_file(const std::string &path)
{
    std::ifstream f(path);
    std::stringstream text;
    text << f.rdbuf();
    return text.str();
}

// A temporary root, the configuration simulator on the private bus and the platform simulator's
// program: what every session with the platform starts from.
class PlatformSession : public ::testing::Test {
protected:
    void SetUp() override
    {
        GW_REQUIRE_UCI();
        if (!exists(platsim_path()))
            GTEST_SKIP() << "platform simulator not built";
        gwtest::PrivateBus::instance();
        ASSERT_TRUE(gwtest::Igd1Sim::fresh().ready());
    }

    // The platform simulator with these commands ("": none) and misbehaviours, holding the commands
    // back until open_gate() when gated; then the agent, provisioned to its distribution port.
    void start(const std::string &commands = "", const std::string &misbehave = "", bool gated = false)
    {
        std::string list;
        if (!commands.empty()) {
            list = root.path("/hgutmp/commands.txt");
            root.write("/hgutmp/commands.txt", commands);
        }
        sim = start_platsim(root, {}, ports, list, misbehave, gated ? root.path("/hgutmp/commands.gate") : "");
        ASSERT_EQ(ports.count("distr"), 1u);
        agent = start_agent(root, ports.at("distr"), log_path);
    }
    void open_gate() { root.write("/hgutmp/commands.gate", ""); }
    std::string agent_log(size_t most = 20000) const { return read_file(log_path).substr(0, most); }

    gwtest::TempRoot root;
    const std::string log_path = root.path("/hgutmp/agent-stderr.log");
    std::map<std::string, int> ports;
    gwtest::Child sim;  // the agent stops first
    gwtest::Child agent;
};

TEST_F(PlatformSession, AgentBootsRegistersRunsACommandAndReportsVersions)
{
    root.write("/etc/openwrt_version", "V2.0.1\n");
    root.write("/usr/lib/opkg/info/alpha.control", "Package: alpha\nVersion: 1.0\npluginClass: app\n");
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"GET_ONT_NAME\",\"SequenceId\":\"00000001\"}\n"
                                  "{\"CmdType\":\"GET_WLAN_INTF_INFO\",\"SequenceId\":\"00000002\"}\n"));

    const std::set<std::string> wanted = {"BOOT", "REGISTER", "HB", "PLUGIN-REGISTER", "ANSWER", "REPORT"};
    std::set<std::string> seen;
    std::string line, answer, wlan_answer, report, errors, boot;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline &&
           !(seen.size() == wanted.size() && report.find("OXA_VER_REP") != std::string::npos && !wlan_answer.empty())) {
        if (!sim.read_line(line, 2s))
            continue;
        const std::string word = line.substr(0, line.find(' '));
        if (word == "ERROR" || word == "BADSIG")
            errors += line + "\n";
        if (wanted.count(word))
            seen.insert(word);
        if (word == "ANSWER" && line.find("\"GET_ONT_NAME\"") != std::string::npos)
            answer = line;
        if (word == "ANSWER" && line.find("\"GET_WLAN_INTF_INFO\"") != std::string::npos)
            wlan_answer = line;
        if (word == "BOOT")
            boot = line;
        if (word == "REPORT" && line.find("OXA_VER_REP") != std::string::npos)
            report = line;
    }
    EXPECT_EQ(seen, wanted) << errors << agent_log();
    EXPECT_NE(answer.find("\"CmdType\":\"GET_ONT_NAME\""), std::string::npos) << answer;
    EXPECT_NE(answer.find("\"SequenceId\":\"00000001\""), std::string::npos) << answer;
    EXPECT_EQ(wlan_answer, "ANSWER {\"CmdType\":\"GET_WLAN_INTF_INFO\",\"SequenceId\":\"00000002\",\"Status\":\"0\","
                           "\"Enable\":\"1\",\"Channel\":\"6,149\"}");
    EXPECT_NE(report.find("alpha:1.0"), std::string::npos) << report;
    EXPECT_NE(boot.find("\"DevName\":\"Living room gateway\""), std::string::npos) << boot;
    EXPECT_NE(report.find("V2.0.1"), std::string::npos) << report;
    EXPECT_EQ(errors, "");

    // A pushd report through the FIFO goes to the distribution server as MessagePush in place of a
    // heartbeat (the platform's heartbeat interval is 5 s).
    const std::string stub = gwtest::build_dir() + "/sim/tools/pushd_stub";
    ASSERT_EQ(agentio::run_program(
                  {"/usr/bin/python3", stub, "--root", root.dir(), "--topic", "wanStat", "--data", "{\"Up\":1}"}),
              0);
    std::string push;
    const auto push_deadline = std::chrono::steady_clock::now() + 30s;
    while (push.empty() && std::chrono::steady_clock::now() < push_deadline) {
        if (sim.read_line(line, 2s) && line.rfind("PUSH ", 0) == 0 && line.find("wanStat") != std::string::npos)
            push = line;
    }
    EXPECT_NE(push, "") << "no MessagePush carried the FIFO report";
    EXPECT_NE(push.find("MessagePush"), std::string::npos) << push;
}

// Events of the simulator until every wanted word was seen or the deadline passed; the words seen.
std::set<std::string> await_words(gwtest::Child &sim, const std::set<std::string> &wanted, std::chrono::seconds within)
{
    std::set<std::string> seen;
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (seen != wanted && std::chrono::steady_clock::now() < deadline) {
        if (!sim.read_line(line, 2s))
            continue;
        const std::string word = line.substr(0, line.find(' '));
        if (wanted.count(word))
            seen.insert(word);
    }
    return seen;
}

// The platform goes away and comes back on the same ports with its device records: the agent finds
// its plugin server again, with no help, and keeps answering commands.
TEST_F(PlatformSession, AgentComesBackAfterAPlatformRestart)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(ports.size(), 3u);
    const std::set<std::string> session = {"BOOT", "REGISTER", "PLUGIN-REGISTER"};
    ASSERT_EQ(await_words(sim, session, 60s), session) << agent_log();

    sim.stop();
    root.write("/hgutmp/commands.txt", "{\"CmdType\":\"GET_ONT_NAME\",\"SequenceId\":\"00000002\"}\n");
    std::map<std::string, int> again;
    sim = start_platsim(root, ports, again, root.path("/hgutmp/commands.txt"));
    ASSERT_EQ(again, ports);
    const std::set<std::string> back = {"HB", "PLUGIN-REGISTER", "ANSWER"};
    EXPECT_EQ(await_words(sim, back, 120s), back) << agent_log(40000);
    EXPECT_TRUE(agent.running());
}

// A platform whose plugin packets come in pieces, with an oversize frame before the Register reply,
// and whose distribution replies carry a second object: the agent still completes the session.
TEST_F(PlatformSession, SplitOversizeAndGluedPacketsDoNotStopTheSession)
{
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"GET_ONT_NAME\",\"SequenceId\":\"00000003\"}\n",
                                  "split-frames,oversize-frame,two-objects"));
    const std::set<std::string> wanted = {"REGISTER", "HB", "PLUGIN-REGISTER", "ANSWER"};
    EXPECT_EQ(await_words(sim, wanted, 90s), wanted) << agent_log(40000);
    EXPECT_TRUE(agent.running());
}

// A VPN command and a route command reach their handlers through the whole session and answer from
// the configuration service.
TEST_F(PlatformSession, VpnAndRouteCommandsAnswerThroughTheSession)
{
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"GET_VPN\",\"SequenceId\":\"00000035\"}\n"
                                  "{\"CmdType\":\"DEL_L3_FORWARDING_IPV4_CONFIG_INFO\",\"SequenceId\":\"00000036\","
                                  "\"Index\":0}\n"));
    std::string answers, line;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline && answers.find("00000036") == std::string::npos)
        if (sim.read_line(line, 2s) && line.rfind("ANSWER ", 0) == 0)
            answers += line + "\n";
    EXPECT_NE(answers.find(R"("CmdType":"GET_VPN","SequenceId":"00000035","Status":"0","Enable":1,"VPNType":"IPSec",)"
                           R"("VPNNum":1)"),
              std::string::npos)
        << answers << agent_log();
    EXPECT_NE(answers.find(R"("CmdType":"DEL_L3_FORWARDING_IPV4_CONFIG_INFO","SequenceId":"00000036","Status":"1",)"
                           R"("FailReason":"CAPI return fail!")"),
              std::string::npos)
        << answers;
}

// The first simulator line starting with the word and holding the text, within the deadline; "" if none.
std::string await_line(gwtest::Child &sim, const std::string &word, const std::string &holding,
                       std::chrono::seconds within)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
        if (sim.read_line(line, 1s) && line.rfind(word + " ", 0) == 0 && line.find(holding) != std::string::npos)
            return line;
    }
    return "";
}

// One failed DeviceInfo read at start-up must not leave the Boot without its device values for ever.
TEST_F(PlatformSession, BootGoesOutAfterAFailedDeviceReadAtStart)
{
    gwtest::Igd1Sim &igd = gwtest::Igd1Sim::fresh();
    igd.fail_next("GetAll", 1, "/com/yvc/igd1/Info/Device");
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string boot = await_line(sim, "BOOT", "\"Vendor\":\"YVC\"", 30s);
    EXPECT_NE(boot, "") << agent_log();
    EXPECT_NE(boot.find("\"MAC\":\"A4B1C2D3E4F5\""), std::string::npos) << boot;
}

// Started with the WAN down, then connected and told to boot again: the next Boot carries the new
// address and the reports reach the message server.
TEST_F(PlatformSession, WanConnectedAfterStartReachesTheNextBootAndTheReports)
{
    gwtest::Igd1Sim &igd = gwtest::Igd1Sim::fresh();
    igd.set_property("/com/yvc/igd1/Info/Network", "com.yvc.igd1.NetworkInfo", "WANConnectionStatus", "'Disconnected'");
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"Start_BootRegister\",\"SequenceId\":\"00000004\"}\n", "", true));
    const std::string first = await_line(sim, "BOOT", "", 30s);
    ASSERT_NE(first.find("\"IPAddr\":\"\""), std::string::npos) << first << agent_log();
    ASSERT_NE(await_line(sim, "PLUGIN-REGISTER", "", 60s), "") << agent_log();

    igd.set_property("/com/yvc/igd1/Info/Network", "com.yvc.igd1.NetworkInfo", "WANConnectionStatus", "'Connected'");
    open_gate();
    const std::string again = await_line(sim, "BOOT", "\"IPAddr\":\"100.64.12.34\"", 60s);
    EXPECT_NE(again, "") << agent_log(40000);
    const std::string report = await_line(sim, "REPORT", "", 60s);
    EXPECT_NE(report, "") << agent_log(40000);
}

// A configuration service that stopped answering: SIGTERM still ends the agent within the init
// system's grace while the main loop waits on the bus.
TEST_F(PlatformSession, SigtermEndsTheAgentWhileABusCallHangs)
{
    gwtest::Igd1Sim &igd = gwtest::Igd1Sim::fresh();
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"GET_ONT_NAME\",\"SequenceId\":\"00000005\"}\n", "", true));
    ASSERT_NE(await_line(sim, "PLUGIN-REGISTER", "", 60s), "") << agent_log();

    for (const char *member : {"Get", "GetAll"})
        igd.set_delay(member, 60000);
    open_gate();
    ASSERT_NE(await_line(sim, "COMMAND", "GET_ONT_NAME", 30s), "");
    // The agent now waits on the service.
    ASSERT_TRUE(gwtest::wait_until([&] { return igd.waiting_count("*") > 0; }, std::chrono::milliseconds(10000)));
    const int status = agent.stop(std::chrono::milliseconds(6000));
    ASSERT_NE(status, -1) << "still running 6 s after SIGTERM";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A command whose first call times out gives up: it answers after one bounded call timeout and makes
// no further calls to the service that does not answer.
TEST_F(PlatformSession, CommandGivesUpAfterItsFirstTimedOutCall)
{
    gwtest::Igd1Sim &igd = gwtest::Igd1Sim::fresh();
    ASSERT_NO_FATAL_FAILURE(start("{\"CmdType\":\"GET_VOICE_INFO\",\"SequenceId\":\"00000006\"}\n", "", true));
    ASSERT_NE(await_line(sim, "PLUGIN-REGISTER", "", 60s), "") << agent_log();

    // The voice command reads the server record (GetAll) and then the lines (GetManagedObjects).
    for (const char *member : {"GetAll", "GetManagedObjects"})
        igd.set_delay(member, 60000);
    const unsigned lines_read = igd.call_count("GetManagedObjects");
    open_gate();
    const std::string answer = await_line(sim, "ANSWER", "GET_VOICE_INFO", 40s);
    ASSERT_NE(answer, "") << agent_log(40000);
    EXPECT_NE(answer.find("api_return_fail"), std::string::npos) << answer;
    EXPECT_EQ(igd.call_count("GetManagedObjects"), lines_read) << "a call after the timed-out one reached the bus";
    EXPECT_TRUE(agent.running());
}

// A call of the agent's own bus service; the reply in GLib text with types, or "ERROR".
std::string agent_call(const char *method, GVariant *args)
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn)
        return "ERROR";
    gw::VariantPtr reply(g_dbus_connection_call_sync(conn.get(), "com.yvc.gwagent1", "/com/yvc/gwagent1",
                                                     "com.yvc.gwagent1", method, args, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                     10000, nullptr, gw::ErrorOut(err)));
    if (!reply)
        return "ERROR";
    gw::GCharPtr text(g_variant_print(reply.get(), TRUE));
    return text.get();
}

// The agent's bus service and its local message queue from outside: an upgrade result reported over
// the bus and a module upgrade announced on the pipe both reach the message server, signed.
TEST_F(PlatformSession, UpgradeResultsFromTheBusAndThePipeReachTheMessageServer)
{
    root.write("/usr/lib/opkg/info/demo.control", "Package: demo\nVersion: 4.2\n");
    // The pipe's mode must not depend on the umask the agent inherits.
    const mode_t saved = umask(0);
    start();
    umask(saved);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(await_line(sim, "REPORT", "OXA_VER_REP", 60s), "") << agent_log();

    struct stat st {};
    ASSERT_EQ(stat(root.path("/tmp/gwagentmq.fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const std::string status = "('127.0.0.1', uint32 " + std::to_string(ports.at("distr")) + ", uint32 4)";
    EXPECT_TRUE(gwtest::wait_until([&] { return agent_call("GetStatus", nullptr) == status; }))
        << agent_call("GetStatus", nullptr);

    EXPECT_EQ(agent_call("UpgRep", g_variant_new("(sui)", "demo_arm", 7u, 3)), "()");
    EXPECT_NE(
        await_line(sim, "REPORT",
                   R"("Message":{"CmdType":"OXA_UPG_REP","Info":{"PkgName":"demo_arm","Version":"4.2","Result":3}})",
                   30s),
        "")
        << agent_log(40000);

    const int fd = open(root.path("/tmp/gwagentmq.fifo").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const std::string msg = "MOD_UPGRD_END,demo";
    EXPECT_EQ(write(fd, msg.data(), msg.size()), static_cast<ssize_t>(msg.size()));
    close(fd);
    EXPECT_NE(await_line(sim, "REPORT",
                         R"("Message":{"CmdType":"OXA_UPG_REP","Info":{"PkgName":"demo","Version":"4.2","Result":0}})",
                         30s),
              "")
        << agent_log(40000);
    EXPECT_TRUE(agent.running());
}

}  // namespace

namespace {

// Every command type of both tables, sent once without parameters and once with parameters of the wrong
// types, gets exactly one answer, and none of them says the command is unknown.
TEST_F(PlatformSession, EveryCommandTypeIsAnsweredOnceWithAndWithoutBadParameters)
{
    root.write("/etc/openwrt_version", "V2.0.1\n");
    const std::string bad = R"("Enable":"x","Time":{},"List":7,"MAC":[1],"URL":5,"Plugin_Name":3,"Action":[],)"
                            R"("Name":{},"Index":"one","Mode":"m","Path":1,"Version":[],"FileSize":"big",)";
    std::ostringstream commands;
    std::map<std::string, std::string> sent;  // SequenceId -> CmdType
    int seq = 0;
    const struct {
        const cmd_entry *table;
        size_t count;
        const char *envelope;
    } tables[] = {{g_cmd_array, g_cmd_array_num, ""},
                  {g_cmd_nas, g_cmd_nas_num, R"("_RPCMethod":"SetPluginParameterValues","_PluginName":"NAS",)"}};
    for (const auto &t : tables) {
        for (size_t i = 0; i < t.count; ++i) {
            for (const std::string &params : {std::string(), bad}) {
                char id[16];
                snprintf(id, sizeof id, "%08d", ++seq);
                sent[id] = t.table[i].CmdType;
                commands << "{" << t.envelope << params << R"("CmdType":")" << t.table[i].CmdType
                         << R"(","SequenceId":")" << id << "\"}\n";
            }
        }
    }
    ASSERT_EQ(sent.size(), 300u);
    ASSERT_NO_FATAL_FAILURE(start(commands.str()));

    std::map<std::string, int> answers;
    std::string line, unknown, errors;
    const auto deadline = std::chrono::steady_clock::now() + 240s;
    while (answers.size() < sent.size() && std::chrono::steady_clock::now() < deadline) {
        if (!sim.read_line(line, 2s))
            continue;
        if (line.rfind("ERROR ", 0) == 0)
            errors += line + "\n";
        if (line.rfind("ANSWER ", 0) != 0)
            continue;
        const size_t at = line.find("\"SequenceId\":\"");
        ASSERT_NE(at, std::string::npos) << line;
        const std::string id = line.substr(at + 14, 8);
        ++answers[id];
        if (line.find("Invalid_CmdType") != std::string::npos)
            unknown += line + "\n";
    }
    EXPECT_EQ(answers.size(), sent.size()) << errors;
    for (const auto &[id, type] : sent)
        EXPECT_EQ(answers.count(id) ? answers.at(id) : 0, 1) << type << " " << id;
    EXPECT_EQ(unknown, "");
    EXPECT_TRUE(agent.running()) << agent_log(4000);
}

}  // namespace
