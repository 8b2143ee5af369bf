// URL-control members: templates with their durations and URL lists, host bindings, names with
// quotes, the MAC rule, and writes that fail half-way without being reported as success.
#include <algorithm>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <jansson.h>

#include "command_rows.hpp"
#include "commands/cmd_table.h"
#include "gwbus/raii.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

constexpr const char *kTemplates = "/com/yvc/igd1/Config/URLControlConfig";
constexpr const char *kTemplate = "com.yvc.igd1.URLControlConfig";
constexpr const char *kDuration = "com.yvc.igd1.URLControlDuration";
constexpr const char *kBindings = "/com/yvc/igd1/Config/URLControlCTR";
constexpr const char *kBinding = "com.yvc.igd1.URLControlCTR";

// The default profile's templates as the answers show them.
constexpr const char *kKidsSpans = R"([{"StartTime":"20:00","EndTime":"22:00","RepeatDay":"1,2,3,4,5"}])";
constexpr const char *kStudySpans = R"([{"StartTime":"08:00","EndTime":"12:00","RepeatDay":"6,7"},)"
                                    R"({"StartTime":"14:00","EndTime":"17:30","RepeatDay":"6"}])";
constexpr const char *kStudyUrls = R"(["school.example","wiki.example/a?b=\"1\""])";

// The simulator's whole state, read through its control interface rather than the library under test.
class SimState {
public:
    SimState()
    {
        gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr));
        gw::VariantPtr r(conn ? g_dbus_connection_call_sync(conn.get(), "com.yvc.igd1", "/com/yvc/igd1sim",
                                                            "com.yvc.igd1sim.Control", "DumpState", nullptr,
                                                            G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 10000,
                                                            nullptr, nullptr)
                              : nullptr);
        const char *text = nullptr;
        if (r)
            g_variant_get(r.get(), "(&s)", &text);
        if (text)
            state_.reset(json_loads(text, 0, nullptr));
        if (!state_)
            ADD_FAILURE() << "no simulator state";
    }
    // Numbered children of a collection, in number order.
    std::vector<std::string> children(const std::string &collection) const
    {
        std::vector<std::pair<long, std::string>> found;
        const char *path;
        json_t *ifaces;
        json_object_foreach(objects(), path, ifaces)
        {
            const std::string p = path;
            if (p.rfind(collection + "/", 0) != 0)
                continue;
            const std::string rest = p.substr(collection.size() + 1);
            if (!rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos)
                found.emplace_back(std::stol(rest), p);
        }
        std::sort(found.begin(), found.end());
        std::vector<std::string> out;
        for (auto &f : found)
            out.push_back(f.second);
        return out;
    }
    bool exists(const std::string &path) const { return json_object_get(objects(), path.c_str()) != nullptr; }
    // A property in GLib's typed text ("'kids'", "byte 0x01", "['a', 'b']"), or "<none>".
    std::string prop(const std::string &path, const char *iface, const char *name) const
    {
        json_t *v = json_object_get(json_object_get(json_object_get(objects(), path.c_str()), iface), name);
        return json_is_string(v) ? json_string_value(v) : "<none>";
    }
    // "start-end@days" of each duration below a template, in number order.
    std::vector<std::string> spans(const std::string &template_path) const
    {
        std::vector<std::string> out;
        for (const std::string &d : children(template_path + "/Duration"))
            out.push_back(prop(d, kDuration, "StartTime") + "-" + prop(d, kDuration, "EndTime") + "@" +
                          prop(d, kDuration, "RepeatDay"));
        return out;
    }
    // The template paths whose Name is the given GLib text.
    std::vector<std::string> named(const std::string &name_text) const
    {
        std::vector<std::string> out;
        for (const std::string &t : children(kTemplates))
            if (prop(t, kTemplate, "Name") == name_text)
                out.push_back(t);
        return out;
    }

private:
    json_t *objects() const { return json_object_get(state_.get(), "objects"); }
    gwagent::JsonPtr state_;
};

class UrlControlCommands : public agenttest::RowTest {
protected:
    std::string tmpl(const std::string &n) const { return std::string(kTemplates) + "/" + n; }
    std::string binding(const std::string &n) const { return std::string(kBindings) + "/" + n; }
    std::string get_template(const std::string &name_json)
    {
        return run(R"({"CmdType":"GET_URL_CTRL_TEMPLATE","SequenceId":"1","Name":)" + name_json + "}");
    }
    std::string template_answer(const std::string &name_json, const std::string &spans, int enable, int policy,
                                const std::string &urls)
    {
        return head("GET_URL_CTRL_TEMPLATE") + R"(,"Name":)" + name_json + R"(,"Duration":)" + spans +
               R"(,"UrlFilterEnable":")" + std::to_string(enable) + R"(","UrlFilterPolicy":")" +
               std::to_string(policy) + R"(","UrlFilterList":)" + urls + "}";
    }
    // members: the parameters and the closing brace.
    static std::string set_template(const std::string &members)
    {
        return R"({"CmdType":"SET_URL_CTRL_TEMPLATE","SequenceId":"1",)" + members;
    }
};

TEST_F(UrlControlCommands, TemplateListNamesEveryTemplateEscaped)
{
    const std::string all = run_plain("GET_URL_CTRL_TEMPLATES_LIST");
    EXPECT_EQ(all, head("GET_URL_CTRL_TEMPLATES_LIST") + R"(,"Name":["kids","study","night \"owl\""]})");
    gwagent::JsonPtr parsed(json_loads(all.c_str(), 0, nullptr));
    ASSERT_TRUE(parsed) << "a name with quotes must not break the answer";
    EXPECT_STREQ(json_string_value(json_array_get(json_object_get(parsed.get(), "Name"), 2)), "night \"owl\"");

    sim.remove_object(tmpl("2"));
    EXPECT_EQ(run_plain("GET_URL_CTRL_TEMPLATES_LIST"),
              head("GET_URL_CTRL_TEMPLATES_LIST") + R"(,"Name":["kids","night \"owl\""]})");
    sim.remove_object(tmpl("1"));
    sim.remove_object(tmpl("3"));
    EXPECT_EQ(run_plain("GET_URL_CTRL_TEMPLATES_LIST"), head("GET_URL_CTRL_TEMPLATES_LIST") + R"(,"Name":[]})");

    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run_plain("GET_URL_CTRL_TEMPLATES_LIST"), failure("GET_URL_CTRL_TEMPLATES_LIST", "object_not_exist"));
}

TEST_F(UrlControlCommands, TemplateAnswersItsDurationsAndUrls)
{
    EXPECT_EQ(get_template(R"("study")"), template_answer(R"("study")", kStudySpans, 0, 1, kStudyUrls));
    EXPECT_EQ(get_template(R"("kids")"),
              template_answer(R"("kids")", kKidsSpans, 1, 0, R"(["games.example","video.example"])"));
    // No durations and an empty list still give arrays; the quotes of the name are escaped.
    const std::string owl = get_template(R"("night \"owl\"")");
    EXPECT_EQ(owl, template_answer(R"("night \"owl\"")", "[]", 1, 0, "[]"));
    EXPECT_TRUE(gwagent::JsonPtr(json_loads(owl.c_str(), 0, nullptr)));
}

TEST_F(UrlControlCommands, LongUrlListStopsAtAWholeUrlAndKeepsTheDurations)
{
    // Far more URL text than one answer can carry.
    std::string list = "@as [";
    for (int i = 0; i < 400; ++i)
        list += std::string(i ? ", " : "") + "'site" + std::to_string(i) + "." + std::string(40, 'x') + ".example'";
    sim.set_property(tmpl("2"), kTemplate, "UrlFilterList", list + "]");
    const std::string answer = get_template(R"("study")");
    ASSERT_FALSE(answer.empty()) << "the answer must not be dropped for length";
    EXPECT_LE(answer.size(), static_cast<size_t>(CMD_RESP_MAX));
    gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
    ASSERT_TRUE(parsed);
    json_t *urls = json_object_get(parsed.get(), "UrlFilterList");
    EXPECT_GT(json_array_size(urls), 50u);
    EXPECT_LT(json_array_size(urls), 400u);
    auto url = [](size_t i) { return "site" + std::to_string(i) + "." + std::string(40, 'x') + ".example"; };
    const size_t kept = json_array_size(urls);
    for (size_t i = 0; i < kept; ++i)
        ASSERT_EQ(json_string_value(json_array_get(urls, i)), url(i)) << "URLs stay whole and in order";
    EXPECT_EQ(json_array_size(json_object_get(parsed.get(), "Duration")), 2u);
    // One more URL (a comma and the quoted text) would not have fitted.
    EXPECT_GT(answer.size() + 1 + url(kept).size() + 2, static_cast<size_t>(CMD_RESP_MAX));
}

TEST_F(UrlControlCommands, LongNamesAreKeptAsTheServiceKeepsThem)
{
    const std::string name(40, 'n');
    EXPECT_EQ(run(set_template(R"("Name":")" + name +
                               R"(","UrlFilterEnable":"1","UrlFilterPolicy":"0","UrlFilterList":[],"Duration":[]})")),
              head("SET_URL_CTRL_TEMPLATE") + "}");
    const std::string kept = name.substr(0, 32);
    EXPECT_EQ(SimState().named("'" + kept + "'"), std::vector<std::string>{tmpl("4")});
    // The same long name finds it again, cut the same way.
    EXPECT_EQ(get_template("\"" + name + "\""), template_answer("\"" + kept + "\"", "[]", 1, 0, "[]"));
}

TEST_F(UrlControlCommands, TemplateFailureWords)
{
    const std::string no_match = fail("GET_URL_CTRL_TEMPLATE", "NOT_MATCH_URLControlConfig");
    // clang-format off
    play({
        {cmd("GET_URL_CTRL_TEMPLATE"), fail("GET_URL_CTRL_TEMPLATE", "parameter_error")},
        {cmd("GET_URL_CTRL_TEMPLATE", R"("Name":7)"), fail("GET_URL_CTRL_TEMPLATE", "parameter_error")},
        // Names match exactly.
        {cmd("GET_URL_CTRL_TEMPLATE", R"("Name":"Kids")"), no_match},
        {cmd("GET_URL_CTRL_TEMPLATE", R"("Name":"night")"), no_match},
        {cmd("GET_URL_CTRL_TEMPLATE", R"("Name":"kids")"), fail("GET_URL_CTRL_TEMPLATE", "object_not_exist"), "GetManagedObjects", kTemplates},
        {cmd("GET_URL_CTRL_TEMPLATE", R"("Name":"study")"), fail("GET_URL_CTRL_TEMPLATE", "object_not_exist"), "GetManagedObjects", tmpl("2") + "/Duration"},
    });
    // clang-format on
    expect_logged({"GET_URL_CTRL_TEMPLATE json string missing Parameter Name"});
}

TEST_F(UrlControlCommands, SetUpdatesTheNamedTemplateAndReplacesItsDurations)
{
    const std::string request = set_template(
        R"("Name":"kids","UrlFilterEnable":"0","UrlFilterPolicy":"1","UrlFilterList":["a.example","b\"c.example"],)"
        R"("Duration":[{"StartTime":"07:00","EndTime":"08:00","RepeatDay":"1"},)"
        R"({"StartTime":"19:00","EndTime":"21:00","RepeatDay":"2,4"}]})");
    EXPECT_EQ(run(request), head("SET_URL_CTRL_TEMPLATE") + "}");
    SimState s;
    EXPECT_EQ(s.named("'kids'"), std::vector<std::string>{tmpl("1")}) << "updated in place, not added";
    EXPECT_EQ(s.children(kTemplates).size(), 3u);
    EXPECT_EQ(s.prop(tmpl("1"), kTemplate, "UrlFilterEnable"), "byte 0x00");
    EXPECT_EQ(s.prop(tmpl("1"), kTemplate, "UrlFilterPolicy"), "byte 0x01");
    EXPECT_EQ(s.prop(tmpl("1"), kTemplate, "UrlFilterList"), R"(['a.example', 'b"c.example'])");
    EXPECT_EQ(s.spans(tmpl("1")), (std::vector<std::string>{"'07:00'-'08:00'@'1'", "'19:00'-'21:00'@'2,4'"}));
    EXPECT_EQ(s.spans(tmpl("2")).size(), 2u) << "other templates keep their durations";
    EXPECT_EQ(get_template(R"("kids")"),
              template_answer(R"("kids")",
                              R"([{"StartTime":"07:00","EndTime":"08:00","RepeatDay":"1"},)"
                              R"({"StartTime":"19:00","EndTime":"21:00","RepeatDay":"2,4"}])",
                              0, 1, R"(["a.example","b\"c.example"])"));
    // Numbers are taken as well as decimal texts; an empty Duration leaves no duration.
    EXPECT_EQ(run(set_template(
                  R"("Name":"study","UrlFilterEnable":1,"UrlFilterPolicy":0,"UrlFilterList":[],"Duration":[]})")),
              head("SET_URL_CTRL_TEMPLATE") + "}");
    SimState after;
    EXPECT_TRUE(after.spans(tmpl("2")).empty());
    EXPECT_EQ(after.prop(tmpl("2"), kTemplate, "UrlFilterList"), "@as []");
    EXPECT_EQ(after.prop(tmpl("2"), kTemplate, "UrlFilterEnable"), "byte 0x01");
}

TEST_F(UrlControlCommands, SetAddsAnUnknownNameWithQuotes)
{
    EXPECT_EQ(
        run(set_template(
            R"("Name":"tv \"room\"","UrlFilterEnable":"1","UrlFilterPolicy":"0",)"
            R"("UrlFilterList":["tv.example"],"Duration":[{"StartTime":"18:00","EndTime":"20:00","RepeatDay":"7"}]})")),
        head("SET_URL_CTRL_TEMPLATE") + "}");
    SimState s;
    ASSERT_EQ(s.named(R"('tv "room"')"), std::vector<std::string>{tmpl("4")});
    EXPECT_EQ(s.prop(tmpl("4"), kTemplate, "UrlFilterList"), "['tv.example']");
    EXPECT_EQ(s.spans(tmpl("4")), std::vector<std::string>{"'18:00'-'20:00'@'7'"});
    EXPECT_EQ(run_plain("GET_URL_CTRL_TEMPLATES_LIST"),
              head("GET_URL_CTRL_TEMPLATES_LIST") + R"(,"Name":["kids","study","night \"owl\"","tv \"room\""]})");
    EXPECT_EQ(get_template(R"("tv \"room\"")"),
              template_answer(R"("tv \"room\"")", R"([{"StartTime":"18:00","EndTime":"20:00","RepeatDay":"7"}])", 1, 0,
                              R"(["tv.example"])"));
}

TEST_F(UrlControlCommands, SetRefusesMistypedParametersBeforeAnyWrite)
{
    const std::string good_tail = R"("UrlFilterEnable":"1","UrlFilterPolicy":"0")";
    const std::string bad[] = {
        set_template(R"("Name":"kids",)" + good_tail + R"(,"UrlFilterList":[],"Duration":{"StartTime":"1"}})"),
        set_template(R"("Name":"kids",)" + good_tail + R"(,"UrlFilterList":"a.example","Duration":[]})"),
        set_template(R"("Name":"kids",)" + good_tail +
                     R"(,"UrlFilterList":[],"Duration":[{"StartTime":"1","RepeatDay":"1"}]})"),
        set_template(R"("Name":"kids",)" + good_tail + R"(,"UrlFilterList":[3],"Duration":[]})"),
        set_template(R"("Name":"kids","UrlFilterEnable":"on","UrlFilterPolicy":"0","UrlFilterList":[],"Duration":[]})"),
        set_template(R"("Name":"kids","UrlFilterEnable":"1","UrlFilterPolicy":256,"UrlFilterList":[],"Duration":[]})"),
        set_template(R"("Name":"",)" + good_tail + R"(,"UrlFilterList":[],"Duration":[]})"),
        set_template(good_tail + R"(,"UrlFilterList":[],"Duration":[]})"),
    };
    const unsigned writes = sim.call_count("SetValues") + sim.call_count("AddObject") + sim.call_count("DeleteObject");
    for (const std::string &r : bad)
        EXPECT_EQ(run(r), failure("SET_URL_CTRL_TEMPLATE", "parameter_error")) << r;
    EXPECT_EQ(sim.call_count("SetValues") + sim.call_count("AddObject") + sim.call_count("DeleteObject"), writes);
    EXPECT_TRUE(log.contains("SET_URL_CTRL_TEMPLATE Parameter Duration json type is invalid, should be array"));
    EXPECT_TRUE(log.contains("SET_URL_CTRL_TEMPLATE Parameter UrlFilterList json type is invalid, should be array"));
    EXPECT_EQ(SimState().spans(tmpl("1")), std::vector<std::string>{"'20:00'-'22:00'@'1,2,3,4,5'"});
}

TEST_F(UrlControlCommands, SetThatFailsHalfWayIsAFailureAndPutsTheTemplateBack)
{
    const std::string request =
        set_template(R"("Name":"study","UrlFilterEnable":"1","UrlFilterPolicy":"0","UrlFilterList":["x.example"],)"
                     R"("Duration":[{"StartTime":"01:00","EndTime":"02:00","RepeatDay":"1"},)"
                     R"({"StartTime":"03:00","EndTime":"04:00","RepeatDay":"2"}]})");
    // The first new duration goes in, the second is refused.
    sim.fail_next("SetValues", 1, tmpl("2") + "/Duration/2");
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    EXPECT_TRUE(log.contains("URLControlConfig " + tmpl("2") + " restored."));
    EXPECT_EQ(get_template(R"("study")"), template_answer(R"("study")", kStudySpans, 0, 1, kStudyUrls));
    SimState s;
    EXPECT_EQ(s.spans(tmpl("2")), (std::vector<std::string>{"'08:00'-'12:00'@'6,7'", "'14:00'-'17:30'@'6'"}));

    // The old durations cannot be cleared.
    sim.fail_next("DeleteObject", 1, tmpl("2") + "/Duration");
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    EXPECT_EQ(get_template(R"("study")"), template_answer(R"("study")", kStudySpans, 0, 1, kStudyUrls));

    // The template itself refuses the write: nothing changes.
    sim.fail_next("SetValues", 1, tmpl("2"));
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    EXPECT_EQ(get_template(R"("study")"), template_answer(R"("study")", kStudySpans, 0, 1, kStudyUrls));
}

TEST_F(UrlControlCommands, NewTemplateWhoseDurationsFailIsNotLeftBehind)
{
    const std::string request =
        set_template(R"("Name":"guest","UrlFilterEnable":"1","UrlFilterPolicy":"0","UrlFilterList":[],)"
                     R"("Duration":[{"StartTime":"01:00","EndTime":"02:00","RepeatDay":"1"}]})");
    sim.fail_next("AddObject", 1, tmpl("4") + "/Duration");
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    SimState s;
    EXPECT_TRUE(s.named("'guest'").empty());
    EXPECT_FALSE(s.exists(tmpl("4")));

    sim.fail_next("AddObject", 1, kTemplates);
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    // The new template's first write refused.
    sim.fail_next("SetValues", 1, tmpl("4"));
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "SET_FAILED"));
    EXPECT_FALSE(SimState().exists(tmpl("4")));

    sim.fail_next("GetManagedObjects", 1, kTemplates);
    EXPECT_EQ(run(request), failure("SET_URL_CTRL_TEMPLATE", "object_not_exist"));
    EXPECT_EQ(run(request), head("SET_URL_CTRL_TEMPLATE") + "}");
    EXPECT_EQ(SimState().named("'guest'"), std::vector<std::string>{tmpl("4")});
}

TEST_F(UrlControlCommands, DeleteRemovesTheTemplateAndItsDurations)
{
    const std::string del_study = cmd("DEL_URL_CTRL_TEMPLATE", R"("Name":"study")");
    play({{del_study, fail("DEL_URL_CTRL_TEMPLATE", "DEL_URLControlConfig_FAILED"), "DeleteObject"}});
    EXPECT_TRUE(SimState().exists(tmpl("2")));
    play({{del_study, ok("DEL_URL_CTRL_TEMPLATE")}});
    SimState s;
    EXPECT_FALSE(s.exists(tmpl("2")));
    EXPECT_TRUE(s.children(tmpl("2") + "/Duration").empty());
    EXPECT_EQ(s.spans(tmpl("1")).size(), 1u);
    // clang-format off
    play({
        {del_study, fail("DEL_URL_CTRL_TEMPLATE", "NOT_MATCH_URLControlConfig")},
        {cmd("DEL_URL_CTRL_TEMPLATE", R"("Name":"night \"owl\"")"), ok("DEL_URL_CTRL_TEMPLATE")},
        {cmd("GET_URL_CTRL_TEMPLATES_LIST"), ok("GET_URL_CTRL_TEMPLATES_LIST", R"("Name":["kids"])")},
        {cmd("DEL_URL_CTRL_TEMPLATE", R"("Name":["kids"])"), fail("DEL_URL_CTRL_TEMPLATE", "parameter_error")},
        {cmd("DEL_URL_CTRL_TEMPLATE", R"("Name":"kids")"), fail("DEL_URL_CTRL_TEMPLATE", "object_not_exist"), "GetManagedObjects"},
    });
    // clang-format on
    EXPECT_TRUE(SimState().exists(tmpl("1")));
}

TEST_F(UrlControlCommands, HostBindingsListedForTheRequestedMacs)
{
    const std::string anna = R"({"MAC":"A0B1C2D3E4F1","TemplateName":"kids"})";
    const std::string ben = R"({"MAC":"a0b1c2d3e4f2","TemplateName":"study"})";
    const std::string dan = R"({"MAC":"A0B1C2D3E4F4","TemplateName":"night \"owl\""})";
    // clang-format off
    play({
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":[])"), ok("GET_ATTCH_URL_CTRL", R"("TemplateNameList":[)" + anna + "," + ben + "," + dan + "]")},
        // Letter case and colons do not matter; a MAC without a binding is simply not listed.
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":["A0B1C2D3E4F2","a0:b1:c2:d3:e4:f4","A0B1C2D3E4F3"])"), ok("GET_ATTCH_URL_CTRL", R"("TemplateNameList":[)" + ben + "," + dan + "]")},
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":["A0B1C2D3E4F3"])"), ok("GET_ATTCH_URL_CTRL", R"("TemplateNameList":[])")},
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":"A0B1C2D3E4F1")"), fail("GET_ATTCH_URL_CTRL", "parameter_error")},
        {cmd("GET_ATTCH_URL_CTRL"), fail("GET_ATTCH_URL_CTRL", "parameter_error")},
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":[])"), fail("GET_ATTCH_URL_CTRL", "object_not_exist"), "GetManagedObjects"},
    });
    // clang-format on
}

TEST_F(UrlControlCommands, BindingUpdatesTheHostOrAddsOneWithItsMac)
{
    play({{cmd("SET_ATTCH_URL_CTR", R"("MAC":"a0b1c2d3e4f1","TemplateName":"night \"owl\"")"),
           ok("SET_ATTCH_URL_CTR")}});
    SimState s;
    EXPECT_EQ(s.prop(binding("1"), kBinding, "TemplateName"), R"('night "owl"')");
    EXPECT_EQ(s.children(kBindings).size(), 3u) << "the existing binding is updated";
    // clang-format off
    play({
        {cmd("SET_ATTCH_URL_CTR", R"("MAC":"A0B1C2D3E4F3","TemplateName":"kids")"), ok("SET_ATTCH_URL_CTR")},
        {cmd("GET_ATTCH_URL_CTRL", R"("MAC":["a0b1c2d3e4f3"])"), ok("GET_ATTCH_URL_CTRL", R"("TemplateNameList":[{"MAC":"A0B1C2D3E4F3","TemplateName":"kids"}])")},
    });
    // clang-format on
    EXPECT_EQ(SimState().prop(binding("4"), kBinding, "MAC"), "'A0B1C2D3E4F3'");
}

TEST_F(UrlControlCommands, BindingRefusesInvalidMacsAndReportsFailedWrites)
{
    const unsigned writes = sim.call_count("SetValues") + sim.call_count("AddObject");
    for (const char *mac : {"A0B1C2D3E4F", "A0B1C2D3E4FG", "A0B1C2D3E4F1A", "A0:B1:C2:D3:E4:F3", ""}) {
        EXPECT_EQ(run(cmd("SET_ATTCH_URL_CTR", std::string(R"("MAC":")") + mac + R"(","TemplateName":"kids")")),
                  fail("SET_ATTCH_URL_CTR", "parameter_error"));
        EXPECT_TRUE(log.contains(std::string("MAC ") + mac + " is invalid")) << mac;
    }
    play({{cmd("SET_ATTCH_URL_CTR", R"("MAC":"A0B1C2D3E4F3")"), fail("SET_ATTCH_URL_CTR", "parameter_error")}});
    EXPECT_EQ(sim.call_count("SetValues") + sim.call_count("AddObject"), writes);
    const std::string add = cmd("SET_ATTCH_URL_CTR", R"("MAC":"A0B1C2D3E4F3","TemplateName":"kids")");
    // clang-format off
    play({
        {cmd("SET_ATTCH_URL_CTR", R"("MAC":"A0B1C2D3E4F2","TemplateName":"kids")"), fail("SET_ATTCH_URL_CTR", "UPDATE_FAILED"), "SetValues", binding("2")},
        {add, fail("SET_ATTCH_URL_CTR", "ADD_FAILED"), "AddObject"},
        {add, fail("SET_ATTCH_URL_CTR", "ADD_FAILED"), "SetValues", binding("4")},
        {add, fail("SET_ATTCH_URL_CTR", "object_not_exist"), "GetManagedObjects"},
    });
    // clang-format on
    SimState s;
    EXPECT_EQ(s.prop(binding("2"), kBinding, "TemplateName"), "'study'");
    EXPECT_FALSE(s.exists(binding("4"))) << "no binding without its MAC stays behind";
}

}  // namespace
