// Bad input for every VPN, route, port-mapping and QoS command: missing parameters, wrong JSON types,
// 100 kB texts and texts that are not UTF-8 each get exactly one answer. Texts the platform envelope
// cannot carry (over 4 kB, not UTF-8) are handed to the command's table row directly.
#include <set>
#include <string>
#include <vector>

#include "command_rows.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

// clang-format off
const std::vector<std::string> kFamily = {
    "DEL_L3_FORWARDING_IPV4_CONFIG_INFO", "DEL_L3_FORWARDING_IPV6_CONFIG_INFO", "DEL_PortMapping_CONFIG",
    "DEL_TRAFFIC_QOS_CLASSIFICATION", "DEL_VPN_IPSEC", "DEL_VPN_IPSEC_LOCALSUBNETS", "DEL_VPN_IPSEC_REMOTESUBNETS",
    "DEL_VPN_L2TP_CLIENT", "DEL_VPN_L2TP_CLIENT_REMOTESUBNETS", "DEL_VPN_L2TP_SERVER_ACCOUNT", "DEL_VPN_VXLAN",
    "GET_L3_FORWARDING_IPV4_CONFIG_INFO", "GET_L3_FORWARDING_IPV6_CONFIG_INFO", "GET_PortMapping_LIST",
    "GET_TRAFFIC_QOS_CLASSIFICATION", "GET_TRAFFIC_QOS_FLOW", "GET_VPN", "GET_VPN_IPSEC", "GET_VPN_IPSEC_LOCALSUBNETS",
    "GET_VPN_IPSEC_REMOTESUBNETS", "GET_VPN_IPSec_HISTORY_TRAFFIC", "GET_VPN_IPSec_TRAFFIC", "GET_VPN_L2TP",
    "GET_VPN_L2TP_CLIENT", "GET_VPN_L2TP_CLIENT_REMOTESUBNETS", "GET_VPN_L2TP_HISTORY_TRAFFIC", "GET_VPN_L2TP_SERVER",
    "GET_VPN_L2TP_SERVER_ACCOUNT", "GET_VPN_L2TP_TRAFFIC", "GET_VPN_VXLAN", "GET_VPN_VxLAN_HISTORY_TRAFFIC",
    "GET_VPN_VxLAN_TRAFFIC", "SET_L3_FORWARDING_IPV4_CONFIG_INFO", "SET_L3_FORWARDING_IPV6_CONFIG_INFO",
    "SET_PortMapping_CONFIG", "SET_TRAFFIC_QOS_CLASSIFICATION", "SET_TRAFFIC_QOS_FLOW", "SET_VPN", "SET_VPN_IPSEC",
    "SET_VPN_IPSEC_LOCALSUBNETS", "SET_VPN_IPSEC_REMOTESUBNETS", "SET_VPN_L2TP", "SET_VPN_L2TP_CLIENT",
    "SET_VPN_L2TP_CLIENT_REMOTESUBNETS", "SET_VPN_L2TP_SERVER", "SET_VPN_L2TP_SERVER_ACCOUNT", "SET_VPN_VXLAN",
};
// clang-format on

// The members that read no parameter at all answer from the profile whatever else is sent.
const std::set<std::string> kNoParameters = {"GET_L3_FORWARDING_IPV4_CONFIG_INFO", "GET_L3_FORWARDING_IPV6_CONFIG_INFO",
                                             "GET_PortMapping_LIST", "GET_VPN", "GET_VPN_L2TP"};

// The traffic members take their indexes as optional.
const std::set<std::string> kOptionalParameters = {"GET_VPN_IPSec_TRAFFIC", "GET_VPN_L2TP_TRAFFIC",
                                                   "GET_VPN_VxLAN_TRAFFIC"};

// Every parameter name of the family.
// clang-format off
const std::vector<std::string> kParameters = {
    "Index", "IndexL2tp", "IndexClient", "Flow", "Start", "Num", "Enable", "VPNType", "WANName", "IPSecType", "Name",
    "WANInterface", "RemoteIP", "ExchangeMode", "IKEAuthenticationAlgorithm", "IKEAuthenticationMethod",
    "IKEEncryptionAlgorithm", "IKEDHGroup", "IKEIDType", "IKELocalName", "IKERemoteName", "IKEPreshareKey",
    "IPSecTransform", "ESPAuthenticationAlgorithm", "ESPEncryptionAlgorithm", "IPSecPFS", "IKESAPeriod",
    "IPSecSATimePeriod", "IPSecSATrafficPeriod", "AHAuthenticationAlgorithm", "DPDEnable", "DPDThreshold", "DPDRetry",
    "LocalSubnet", "RemoteSubnet", "LocalIPAddress", "LocalSubnetMask", "DestIPAddress", "DestSubnetMask",
    "L2TPType", "Server", "Client", "ServerIP", "ServerPort", "EnableNAT", "UserName", "Password", "RemoteSubnets",
    "StartAddress", "EndAddress", "MaskAddress", "LanAddress", "Accounts", "TunnelKey", "TunnelRemoteIp", "WorkMode",
    "MaxMTUSize", "IPAddress", "SubnetMask", "AddressingType", "NATEnabled", "DNSServers", "GatewayIPAddress",
    "Interface", "DestIPPrefix", "NextHop", "PortMappingEnabled", "RemoteHost", "ExternalPort", "InternalPort",
    "PortMappingProtocol", "InternalClient", "PortMappingDescription", "UpSpeed", "DownSpeed", "DSCPRemark",
    "RemoteAddress", "RemotePort",
};
// clang-format on

class VpnRouteBadInput : public agenttest::RowTest {
protected:
    // Every parameter of the family set to the value made by make.
    std::string run_all_set_to(const std::string &type, json_t *(*make)())
    {
        gwagent::JsonPtr obj(json_object());
        for (const std::string &p : kParameters)
            json_object_set_new(obj.get(), p.c_str(), make());
        return run_row(type, obj.get());
    }
    static std::string refused(const std::string &type) { return fail(type, "Parse input params fail!"); }
    static bool succeeded(const std::string &answer) { return answer.find(R"("Status":"0")") != std::string::npos; }
};

TEST_F(VpnRouteBadInput, MissingParametersAnswerParseFailureOnce)
{
    for (const std::string &type : kFamily) {
        const std::string answer = run(cmd(type));
        if (kNoParameters.count(type) || kOptionalParameters.count(type))
            EXPECT_TRUE(succeeded(answer)) << answer;
        else
            EXPECT_EQ(answer, refused(type));
    }
}

TEST_F(VpnRouteBadInput, WrongTypesLongTextsAndNonUtf8AreRefusedOnce)
{
    using Make = json_t *(*)();
    // clang-format off
    const std::vector<std::pair<const char *, Make>> values = {
        {"object", [] { return json_pack("{s:i}", "x", 1); }},
        {"array", [] { return json_pack("[i]", 1); }},
        {"real", [] { return json_real(1.5); }},
        {"true", [] { return json_true(); }},
        {"100 kB text", [] { return json_string(std::string(100 * 1024, '7').c_str()); }},
        {"not UTF-8", [] { return json_stringn_nocheck("\xff\xfe" "1", 3); }},
        {"integer too large", [] { return json_integer(4294967296LL); }},
        {"negative", [] { return json_integer(-1); }},
    };
    // clang-format on
    for (const auto &[what, make] : values)
        for (const std::string &type : kFamily) {
            const std::string answer = run_all_set_to(type, make);
            if (kNoParameters.count(type))
                EXPECT_TRUE(succeeded(answer)) << what << ": " << answer;
            else
                EXPECT_EQ(answer, refused(type)) << what;
        }
    EXPECT_EQ(sim.call_count("SetValues"), 0u);
    EXPECT_EQ(sim.call_count("AddObject"), 0u);
    EXPECT_EQ(sim.call_count("DeleteObject"), 0u);
}

TEST_F(VpnRouteBadInput, TextsAreCutOnCharactersAndNonUtf8TextIsNeverWritten)
{
    sim.load_profile("vpn.json");
    std::string type = "a";
    for (int i = 0; i < 50000; ++i)
        type += "\xc3\xa9";  // é
    gwagent::JsonPtr set(
        json_pack("{s:s,s:s,s:i,s:s}", "CmdType", "SET_VPN", "SequenceId", "1", "Enable", 1, "VPNType", type.c_str()));
    EXPECT_EQ(run_row("SET_VPN", set.get()), ok("SET_VPN"));
    // 32 bytes are kept: "a" and fifteen whole characters, not half of the sixteenth.
    std::string kept = "a";
    for (int i = 0; i < 15; ++i)
        kept += "\xc3\xa9";
    EXPECT_EQ(sim.get_property("/com/yvc/igd1/VPN", "com.yvc.igd1.VPN", "VPNType"), "'" + kept + "'");

    gwagent::JsonPtr subnet(json_pack("{s:s,s:s,s:i,s:s,s:s}", "CmdType", "SET_VPN_IPSEC_LOCALSUBNETS", "SequenceId",
                                      "1", "Index", 1, "LocalIPAddress", "10.0.0.0", "LocalSubnetMask", "255.0.0.0"));
    json_object_set_new(subnet.get(), "LocalIPAddress", json_stringn_nocheck("10.\xc3", 4));
    EXPECT_EQ(run_row("SET_VPN_IPSEC_LOCALSUBNETS", subnet.get()), refused("SET_VPN_IPSEC_LOCALSUBNETS"));
    json_object_set_new(subnet.get(), "LocalIPAddress", json_stringn_nocheck("10.0\0.0", 7));
    EXPECT_EQ(run_row("SET_VPN_IPSEC_LOCALSUBNETS", subnet.get()), refused("SET_VPN_IPSEC_LOCALSUBNETS"));
    EXPECT_EQ(sim.call_count("SetValues"), 1u) << "only the switch was written";
    EXPECT_TRUE(log.contains("SET_VPN_IPSEC_LOCALSUBNETS json LocalIPAddress is not UTF-8 text"));
}

TEST_F(VpnRouteBadInput, AnAnswerTooLongForTheAreaIsAFailureNotSilence)
{
    sim.load_profile("vpn.json");
    // Enough tunnels that their list passes the 12285-byte answer area.
    for (int i = 3; i < 40; ++i)
        sim.set_property("/com/yvc/igd1/VPN/IPSec/" + std::to_string(i), "com.yvc.igd1.VPN.IPSec", "Name",
                         "'tunnel " + std::to_string(i) + "'");
    EXPECT_EQ(run(cmd("GET_VPN_IPSEC", R"("Index":0)")), fail("GET_VPN_IPSEC", "Create json fail!"));
    EXPECT_TRUE(succeeded(run(cmd("GET_VPN_IPSec_TRAFFIC"))));
}

}  // namespace
