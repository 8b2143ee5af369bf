// Static routes, traffic QoS and port mappings against the simulator's route profile: routes of both
// families, static and not, QoS flows with classifications, port mappings on two WAN connections.
#include <string>

#include "command_steps.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

class RouteCommands : public agenttest::StepTest {
protected:
    RouteCommands() : StepTest("routes_qos.json") {}
};

const std::string kRoute1 =
    R"({"Index":1,"Enable":1,"Status":"Enabled","Type":"StaticRoute","DestIPAddress":"10.10.0.0",)"
    R"("DestSubnetMask":"255.255.0.0","GatewayIPAddress":"100.64.12.1","Interface":"/com/yvc/igd1/Info/Network/WANConnectionDb/1"})";
const std::string kRoute6 =
    R"({"Index":6,"Enable":1,"Status":"enabled","Type":"StaticRoute","DestIPAddress":"172.22.0.0",)"
    R"("DestSubnetMask":"255.255.0.0","GatewayIPAddress":"10.20.30.1","Interface":"/com/yvc/igd1/Info/Network/WANConnectionDb/3"})";
const std::string kRouteTo = R"("DestSubnetMask":"255.255.0.0","GatewayIPAddress":"10.20.30.1",)"
                             R"("Interface":"/com/yvc/igd1/Info/Network/WANConnectionDb/2")";

TEST_F(RouteCommands, StaticRoutesListWriteAndDelete)
{
    const std::string v4 = "GET_L3_FORWARDING_IPV4_CONFIG_INFO";
    play({
        {cmd(v4),
         ok(v4, R"("Num":4,"ObjList":[)" + kRoute1 +
                    R"(,{"Index":3,"Enable":0,"Status":"Disabled","Type":"StaticRoute","DestIPAddress":"172.20.0.0",)" +
                    kRouteTo +
                    R"(},{"Index":4,"Enable":1,"Status":"Error","Type":"StaticRoute","DestIPAddress":"172.21.0.0",)" +
                    kRouteTo + "}," + kRoute6 + "]")},
        // An equal disabled route is enabled and answers its own index; a new one gets the next.
        {cmd("SET_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":0,"Enable":1,"DestIPAddress":"172.20.0.0",)" + kRouteTo),
         ok("SET_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":3)")},
        {cmd("SET_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":0,"Enable":1,"DestIPAddress":"172.30.0.0",)" + kRouteTo),
         ok("SET_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":7)")},
        {cmd("SET_L3_FORWARDING_IPV4_CONFIG_INFO",
             R"("Index":0,"Enable":"1","DestIPAddress":"172.30.0.0",)" + kRouteTo),
         fail("SET_L3_FORWARDING_IPV4_CONFIG_INFO", "Parse input params fail!")},
        {cmd("DEL_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":4)"), ok("DEL_L3_FORWARDING_IPV4_CONFIG_INFO")},
        {cmd("DEL_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":0)"),
         fail("DEL_L3_FORWARDING_IPV4_CONFIG_INFO", "CAPI return fail!")},
        {cmd("DEL_L3_FORWARDING_IPV4_CONFIG_INFO", R"("Index":2)"),
         fail("DEL_L3_FORWARDING_IPV4_CONFIG_INFO", "CAPI return fail!")},
        {cmd(v4),
         ok(v4, R"("Num":3,"ObjList":[)" + kRoute1 +
                    R"(,{"Index":3,"Enable":1,"Status":"Disabled","Type":"StaticRoute","DestIPAddress":"172.20.0.0",)" +
                    kRouteTo + "}," + kRoute6 + "]")},
    });
    // The simulator leaves StaticRoute of a new object false, so route 7 is checked on the object.
    EXPECT_EQ(sim.get_property("/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config/7",
                               "com.yvc.igd1.Layer3ForwardingIPv4Config", "DestIPAddress"),
              "'172.30.0.0'");
}

TEST_F(RouteCommands, Ipv6RoutesListWriteAndDelete)
{
    const std::string v6 = "GET_L3_FORWARDING_IPV6_CONFIG_INFO";
    const std::string wan1 = R"("Interface":"/com/yvc/igd1/Info/Network/WANConnectionDb/1")";
    play({
        {cmd("SET_L3_FORWARDING_IPV6_CONFIG_INFO",
             R"("Index":0,"Enable":1,"DestIPPrefix":"2001:db8:99::/48","NextHop":"fe80::9",)" + wan1),
         ok("SET_L3_FORWARDING_IPV6_CONFIG_INFO", R"("Index":5)")},
        {cmd("DEL_L3_FORWARDING_IPV6_CONFIG_INFO", R"("Index":4)"), ok("DEL_L3_FORWARDING_IPV6_CONFIG_INFO")},
        {cmd(v6), ok(v6, R"("Num":2,"ObjList":[{"Index":1,"Enable":1,"Status":"Enabled","Type":"StaticRoute",)"
                         R"("DestIPPrefix":"2001:db8:99::/48","NextHop":"fe80::2",)" +
                             wan1 +
                             R"(},{"Index":3,"Enable":0,"Status":"Disabled","Type":"StaticRoute",)"
                             R"("DestIPPrefix":"2001:db8:77::/48","NextHop":"fe80::7",)" +
                             wan1 + "}]")},
    });
    EXPECT_EQ(sim.get_property("/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config/5",
                               "com.yvc.igd1.Layer3ForwardingIPv6Config", "NextHop"),
              "'fe80::9'");
}

TEST_F(RouteCommands, QosFlowsAndClassifications)
{
    const std::string classes = "GET_TRAFFIC_QOS_CLASSIFICATION";
    play({
        {cmd("GET_TRAFFIC_QOS_FLOW", R"("Flow":0)"),
         ok("GET_TRAFFIC_QOS_FLOW", R"("Flow":0,"UsStats":123456789012,"DsStats":987654321098,"UpSpeed":2048,)"
                                    R"("DownSpeed":8192,"DSCPRemark":34)")},
        {cmd("GET_TRAFFIC_QOS_FLOW", R"("Flow":8)"), fail("GET_TRAFFIC_QOS_FLOW", "CAPI return fail!")},
        {cmd("SET_TRAFFIC_QOS_FLOW", R"("Flow":7,"UpSpeed":100,"DownSpeed":200,"DSCPRemark":256)"),
         fail("SET_TRAFFIC_QOS_FLOW", "Parse input params fail!")},
        {cmd("SET_TRAFFIC_QOS_FLOW", R"("Flow":7,"UpSpeed":100,"DownSpeed":200,"DSCPRemark":46)"),
         ok("SET_TRAFFIC_QOS_FLOW")},
        {cmd("GET_TRAFFIC_QOS_FLOW", R"("Flow":7)"),
         ok("GET_TRAFFIC_QOS_FLOW",
            R"("Flow":7,"UsStats":70,"DsStats":700,"UpSpeed":100,"DownSpeed":200,"DSCPRemark":46)")},
        // The library answers the classification's index: a new one is success, not "undefine".
        {cmd("SET_TRAFFIC_QOS_CLASSIFICATION", R"("Flow":2,"Index":0,"RemoteAddress":"203.0.113.1","RemotePort":"80")"),
         ok("SET_TRAFFIC_QOS_CLASSIFICATION")},
        {cmd(classes, R"("Flow":2)"),
         ok(classes, R"("Num":1,"ObjList":[{"Flow":2,"Index":1,"RemoteAddress":"203.0.113.1","RemotePort":"80"}])")},
        {cmd("SET_TRAFFIC_QOS_CLASSIFICATION",
             R"("Flow":0,"Index":4,"RemoteAddress":"203.0.113.2","RemotePort":"5353")"),
         ok("SET_TRAFFIC_QOS_CLASSIFICATION")},
        {cmd("SET_TRAFFIC_QOS_CLASSIFICATION", R"("Flow":0,"Index":4,"RemoteAddress":"203.0.113.2","RemotePort":"")"),
         fail("SET_TRAFFIC_QOS_CLASSIFICATION", "CAPI return fail!")},
        {cmd("DEL_TRAFFIC_QOS_CLASSIFICATION",
             R"("Flow":0,"Index":0,"RemoteAddress":"198.51.100.7","RemotePort":"8443")"),
         ok("DEL_TRAFFIC_QOS_CLASSIFICATION")},
        {cmd("DEL_TRAFFIC_QOS_CLASSIFICATION",
             R"("Flow":0,"Index":0,"RemoteAddress":"198.51.100.7","RemotePort":"9999")"),
         fail("DEL_TRAFFIC_QOS_CLASSIFICATION", "CAPI return fail!")},
        {cmd("DEL_TRAFFIC_QOS_CLASSIFICATION", R"("Flow":0,"Index":5,"RemoteAddress":"","RemotePort":"")"),
         ok("DEL_TRAFFIC_QOS_CLASSIFICATION")},
        {cmd(classes, R"("Flow":0)"),
         ok(classes, R"("Num":2,"ObjList":[{"Flow":0,"Index":1,"RemoteAddress":"198.51.100.7","RemotePort":"443"},)"
                     R"({"Flow":0,"Index":4,"RemoteAddress":"203.0.113.2","RemotePort":"5353"}])")},
    });
}

const std::string kMappingSettings =
    R"("PortMappingEnabled":1,"RemoteHost":"","ExternalPort":8443,"InternalPort":443,"PortMappingProtocol":"TCP",)"
    R"("InternalClient":"192.168.1.40","PortMappingDescription":"https")";

TEST_F(RouteCommands, PortMappingsPerWanFindTheirWanByName)
{
    const std::string set = "SET_PortMapping_CONFIG";
    const std::string del = "DEL_PortMapping_CONFIG";
    play({
        {cmd("GET_PortMapping_LIST"),
         ok("GET_PortMapping_LIST",
            R"("PortMapping":[{"WANName":"1_INTERNET_R_VID_41","Num":2,"ObjList":[{"ExternalPort":8080,"InternalPort":80,)"
            R"("PortMappingProtocol":"TCP","InternalClient":"192.168.1.20","PortMappingDescription":"web camera",)"
            R"("PortMappingLeaseDuration":0},{"ExternalPort":2222,"InternalPort":22,"PortMappingProtocol":"BOTH",)"
            R"("InternalClient":"192.168.1.21","PortMappingDescription":"nas ssh","PortMappingLeaseDuration":0}]},)"
            R"({"WANName":"2_TR069_R_VID_46","Num":1,"ObjList":[{"ExternalPort":3389,"InternalPort":3389,)"
            R"("PortMappingProtocol":"UDP","InternalClient":"192.168.1.30","PortMappingDescription":"remote desk",)"
            R"("PortMappingLeaseDuration":3600}]}])")},
        {cmd(set, R"("WANName":"2_TR069_R_VID_46","Index":0,)" + kMappingSettings), ok(set, R"("Index":4)")},
        {cmd(set, R"("WANName":"9_NONE","Index":0,)" + kMappingSettings), fail(set, "There is no such WANName")},
        {cmd(set, R"("WANName":"","Index":0,)" + kMappingSettings), fail(set, "WANName is empty!")},
        {cmd(set,
             R"("WANName":"2_TR069_R_VID_46","Index":0,"PortMappingEnabled":1,"RemoteHost":"","ExternalPort":22,)"
             R"("InternalPort":22,"PortMappingProtocol":"BOTH","InternalClient":"192.168.1.40","PortMappingDescription":"")"),
         fail(set, "Parse input params fail!")},
        {cmd(del, R"("WANName":"9_NONE","Index":3)"), fail(del, "There is no such WANName")},
        {cmd(del, R"("WANName":"2_TR069_R_VID_46","Index":3)"), ok(del)},
        {cmd(del, R"("WANName":"2_TR069_R_VID_46","Index":3)"), fail(del, "CAPI return fail!")},
        {cmd(del, R"("WANName":"1_INTERNET_R_VID_41","Index":0)"), ok(del)},
        {cmd("GET_PortMapping_LIST"),
         ok("GET_PortMapping_LIST",
            R"("PortMapping":[{"WANName":"2_TR069_R_VID_46","Num":1,"ObjList":[{"ExternalPort":8443,"InternalPort":443,)"
            R"("PortMappingProtocol":"TCP","InternalClient":"192.168.1.40","PortMappingDescription":"https",)"
            R"("PortMappingLeaseDuration":0}]}])")},
    });
    // Mapping 3 twice (the second refused), then the two mappings of the first WAN one by one.
    EXPECT_EQ(sim.call_count("DeleteObject"), 4u);
    EXPECT_TRUE(log.contains("clear_PortMapping"));
}

}  // namespace
