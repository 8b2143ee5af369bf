// The configuration library on real package files: reading hand-written configs, staging changes in the
// save directory, committing under the lock, and files an independent reader parses the same way.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <uci.h>

#include "gwtest.hpp"

namespace {

struct CtxDeleter {
    void operator()(uci_context *c) const noexcept { uci_free_context(c); }
};
using Ctx = std::unique_ptr<uci_context, CtxDeleter>;

class UciApi : public ::testing::Test {
protected:
    Ctx context() const
    {
        Ctx c(uci_alloc_context());
        uci_set_confdir(c.get(), root.path("/etc/config").c_str());
        uci_set_savedir(c.get(), root.path("/tmp/.uci").c_str());
        return c;
    }

    // "pkg.sec.opt" → value, "<list a|b>" for lists, or "<rc N>" / "<incomplete>".
    static std::string lookup(uci_context *c, const std::string &expr)
    {
        std::vector<char> buf(expr.begin(), expr.end());
        buf.push_back('\0');
        uci_ptr p{};
        int rc = uci_lookup_ptr(c, &p, buf.data(), true);
        if (rc != UCI_OK)
            return "<rc " + std::to_string(rc) + ">";
        if (!(p.flags & uci_ptr::UCI_LOOKUP_COMPLETE))
            return "<incomplete>";
        if (p.o) {
            if (p.o->type == UCI_TYPE_STRING)
                return p.o->v.string;
            std::string out = "<list";
            const char *sep = " ";
            uci_element *e;
            uci_foreach_element(&p.o->v.list, e)
            {
                out += sep;
                out += e->name;
                sep = "|";
            }
            return out + ">";
        }
        if (p.s)
            return "<section " + std::string(p.s->type) + ">";
        return "<package>";
    }

    std::string get(const std::string &expr) const { return lookup(context().get(), expr); }

    // What is staged for a package: its delta file, emptied or removed once nothing is.
    std::string staged(const std::string &pkg) const
    {
        const std::string path = "/tmp/.uci/" + pkg;
        return root.exists(path) ? root.read(path) : "";
    }

    // Sets "pkg.sec.opt=value"; save and/or commit.
    static int set(uci_context *c, const std::string &assignment, bool save, bool commit)
    {
        std::vector<char> buf(assignment.begin(), assignment.end());
        buf.push_back('\0');
        uci_ptr p{};
        int rc = uci_lookup_ptr(c, &p, buf.data(), true);
        if (rc == UCI_OK)
            rc = uci_set(c, &p);
        if (rc == UCI_OK && save)
            rc = uci_save(c, p.p);
        if (rc == UCI_OK && commit)
            rc = uci_commit(c, &p.p, false);
        return rc;
    }

    // The independent reader's view of a package file, as JSON.
    std::string independent(const std::string &pkg) const
    {
        gwtest::Child reader(
            {"/usr/bin/python3", gwtest::source_dir() + "/tests/compat/uci_reader.py", root.path("/etc/config/" + pkg)},
            {}, true);
        return reader.read_all(std::chrono::seconds(30));
    }

    gwtest::TempRoot root;
};

const char kHandWritten[] = R"(# written by hand, as on a router

config system
	option hostname 'OpenGate'   # trailing comment
	option timezone "UTC"

config interface 'lan'
	option proto static
	option ipaddr '192.168.1.1'
	option desc "say \"hi\" to it's owner"
	list dns '8.8.8.8'
	list dns "1.1.1.1"

config rule
	option name 'first'

config rule
	option name 'second'
	option note 'a b	c'
)";

TEST_F(UciApi, HandWrittenConfigIsReadWithQuotesListsAndAnonymousSections)
{
    root.write("/etc/config/net", kHandWritten);
    EXPECT_EQ(get("net.lan.ipaddr"), "192.168.1.1");
    EXPECT_EQ(get("net.lan.proto"), "static");
    EXPECT_EQ(get("net.lan.desc"), "say \"hi\" to it's owner");
    EXPECT_EQ(get("net.lan.dns"), "<list 8.8.8.8|1.1.1.1>");
    EXPECT_EQ(get("net.lan"), "<section interface>");
    EXPECT_EQ(get("net.@system[0].hostname"), "OpenGate");
    EXPECT_EQ(get("net.@system[0].timezone"), "UTC");
    EXPECT_EQ(get("net.@rule[0].name"), "first");
    EXPECT_EQ(get("net.@rule[1].name"), "second");
    EXPECT_EQ(get("net.@rule[-1].name"), "second");
    EXPECT_EQ(get("net.@rule[1].note"), "a b\tc");
    const std::string past_end = get("net.@rule[2].name");
    EXPECT_TRUE(past_end == "<incomplete>" || past_end == "<rc 3>") << past_end;
    EXPECT_EQ(get("net.lan.nope"), "<incomplete>");
    EXPECT_EQ(get("net.wan.proto"), "<incomplete>");
}

TEST_F(UciApi, SavedChangeIsStagedForOthersAndCommitWritesTheFile)
{
    root.write("/etc/config/gwagent", "config gwagent 'global'\n\toption pid '1'\n");
    const std::string before = root.read("/etc/config/gwagent");
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "gwagent.global.pid=4242", true, false), UCI_OK);
    }
    EXPECT_EQ(root.read("/etc/config/gwagent"), before);
    EXPECT_NE(root.read("/tmp/.uci/gwagent").find("gwagent.global.pid='4242'"), std::string::npos)
        << root.read("/tmp/.uci/gwagent");
    EXPECT_EQ(get("gwagent.global.pid"), "4242") << "a second context sees the staged value";

    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "gwagent.global.status=1", false, true), UCI_OK);
    }
    EXPECT_EQ(staged("gwagent"), "") << "the staged changes are gone";
    const std::string after = root.read("/etc/config/gwagent");
    EXPECT_NE(after.find("option pid '4242'"), std::string::npos) << after;
    EXPECT_NE(after.find("option status '1'"), std::string::npos) << after;
}

TEST_F(UciApi, WrittenFileReadsTheSameThroughAnIndependentReader)
{
    const std::vector<std::pair<std::string, std::string>> values = {
        {"plain", "value"},      {"spaces", "a b  c"},       {"single", "it's"},
        {"double", "say \"x\""}, {"backslash", "C:\\dir\\"}, {"newline", "one\ntwo"},
    };
    root.write("/etc/config/odd", "config sec 'sec'\n");
    {
        Ctx c = context();
        for (const auto &[k, v] : values)
            ASSERT_EQ(set(c.get(), "odd.sec." + k + "=" + v, false, false), UCI_OK) << k;
        std::vector<char> buf{'o', 'd', 'd', '\0'};
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, buf.data(), true), UCI_OK);
        ASSERT_EQ(uci_commit(c.get(), &p.p, false), UCI_OK);
    }
    std::string expected = "[{\"name\": \"sec\", \"options\": {";
    std::vector<std::pair<std::string, std::string>> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const char *sep = "";
    for (const auto &[k, v] : sorted) {
        std::string esc;
        for (char ch : v) {
            if (ch == '"' || ch == '\\')
                esc += '\\';
            esc += ch == '\n' ? std::string("\\n") : std::string(1, ch);
        }
        expected += sep + std::string("\"") + k + "\": \"" + esc + "\"";
        sep = ", ";
    }
    expected += "}, \"type\": \"sec\"}]";
    EXPECT_EQ(independent("odd"), expected) << root.read("/etc/config/odd");
    for (const auto &[k, v] : values)
        EXPECT_EQ(get("odd.sec." + k), v) << k;
    // An empty value removes the option, as on the target.
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "odd.sec.plain=", false, true), UCI_OK);
    }
    EXPECT_EQ(get("odd.sec.plain"), "<incomplete>");
}

TEST_F(UciApi, ListsAddedThroughTheLibraryAreListsForTheIndependentReader)
{
    root.write("/etc/config/pushd", "config pushd 'global'\n");
    {
        Ctx c = context();
        for (const char *v : {"a", "b c", "it's"}) {
            std::string expr = std::string("pushd.global.item=") + v;
            std::vector<char> buf(expr.begin(), expr.end());
            buf.push_back('\0');
            uci_ptr p{};
            ASSERT_EQ(uci_lookup_ptr(c.get(), &p, buf.data(), true), UCI_OK);
            ASSERT_EQ(uci_add_list(c.get(), &p), UCI_OK);
        }
        std::vector<char> buf{'p', 'u', 's', 'h', 'd', '\0'};
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, buf.data(), true), UCI_OK);
        ASSERT_EQ(uci_commit(c.get(), &p.p, false), UCI_OK);
    }
    EXPECT_EQ(independent("pushd"),
              "[{\"name\": \"global\", \"options\": {\"item\": [\"a\", \"b c\", \"it's\"]}, \"type\": \"pushd\"}]");
    EXPECT_EQ(get("pushd.global.item"), "<list a|b c|it's>");
}

// Saves append to the delta file under its lock, so concurrent writers lose nothing. Concurrent commits
// of one package, and a save during a commit, are not safe in the library itself (the project's own
// helpers serialise them).
TEST_F(UciApi, ConcurrentSavesOfOnePackageLoseNoChangeAndOneCommitWritesThemAll)
{
    root.write("/etc/config/race", "config race 'sec'\n");
    constexpr int kWriters = 4, kRounds = 15;
    EXPECT_EQ(gwtest::run_in_children(kWriters,
                                      [&](int w) {
                                          int bad = 0;
                                          for (int r = 0; r < kRounds; ++r) {
                                              Ctx c = context();
                                              std::string a =
                                                  "race.sec.w" + std::to_string(w) + "_" + std::to_string(r) + "=x";
                                              bad += set(c.get(), a, true, false) != UCI_OK;
                                          }
                                          return bad;
                                      }),
              0);
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "race.sec.done=1", false, true), UCI_OK);
    }
    EXPECT_EQ(staged("race"), "");
    const std::string file = root.read("/etc/config/race");
    for (int w = 0; w < kWriters; ++w)
        for (int r = 0; r < kRounds; ++r)
            EXPECT_NE(file.find("option w" + std::to_string(w) + "_" + std::to_string(r) + " 'x'"), std::string::npos)
                << w << " " << r << "\n"
                << file;
}

TEST_F(UciApi, MissingPackageAndBadFilesGiveErrorsNotCrashes)
{
    Ctx c = context();
    uci_package *p = nullptr;
    EXPECT_NE(uci_load(c.get(), "absent", &p), UCI_OK);
    const std::vector<std::string> bad = {
        "config sec 'name\n\toption a 'b'\n",  // unterminated quote
        "option a 'b'\n",                      // option before any section
        std::string("config sec 'x'\n\toption a 'v\0w'\n", 29),
        "config 'bad type!' 'x'\n",
        "frobnicate a b\n",
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        root.write("/etc/config/bad", bad[i]);
        Ctx fresh = context();
        uci_package *pk = nullptr;
        EXPECT_NE(uci_load(fresh.get(), "bad", &pk), UCI_OK) << "case " << i;
        char *text = nullptr;
        uci_get_errorstr(fresh.get(), &text, "load");
        EXPECT_NE(text, nullptr);
        free(text);
    }
}

TEST_F(UciApi, RevertDropsStagedChangesOfTheTarget)
{
    root.write("/etc/config/log", "config temp 'temp'\n\toption log_level 'warn'\n");
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "log.temp.log_level=debug", true, false), UCI_OK);
        ASSERT_EQ(set(c.get(), "log.temp.duration=300", true, false), UCI_OK);
    }
    EXPECT_EQ(get("log.temp.log_level"), "debug");
    {
        Ctx c = context();
        std::vector<char> buf{'l', 'o', 'g', '.', 't', 'e', 'm', 'p', '.', 'l',
                              'o', 'g', '_', 'l', 'e', 'v', 'e', 'l', '\0'};
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, buf.data(), true), UCI_OK);
        ASSERT_EQ(uci_revert(c.get(), &p), UCI_OK);
    }
    EXPECT_EQ(get("log.temp.log_level"), "warn");
    EXPECT_EQ(get("log.temp.duration"), "300");
}

// Delta lines carry the value quoted; what one context stages, another reads back byte for byte.
TEST_F(UciApi, StagedOddValuesReachASecondContextIntact)
{
    root.write("/etc/config/odd", "config sec 'sec'\n");
    const std::vector<std::pair<std::string, std::string>> values = {
        {"quote", "it's \"it\""}, {"slash", "a\\b\\"}, {"nl", "one\ntwo\n"}, {"eq", "a=b.c"}, {"sp", "  "},
    };
    {
        Ctx c = context();
        for (const auto &[k, v] : values)
            ASSERT_EQ(set(c.get(), "odd.sec." + k + "=" + v, true, false), UCI_OK) << k;
    }
    EXPECT_EQ(root.read("/etc/config/odd"), "config sec 'sec'\n");
    Ctx c = context();
    for (const auto &[k, v] : values)
        EXPECT_EQ(lookup(c.get(), "odd.sec." + k), v) << k << "\n" << root.read("/tmp/.uci/odd");
}

TEST_F(UciApi, AddedAnonymousSectionSurvivesSaveAndCommit)
{
    root.write("/etc/config/fw", "config rule\n\toption name 'old'\n");
    {
        Ctx c = context();
        uci_package *p = nullptr;
        ASSERT_EQ(uci_load(c.get(), "fw", &p), UCI_OK);
        uci_section *s = nullptr;
        ASSERT_EQ(uci_add_section(c.get(), p, "rule", &s), UCI_OK);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->anonymous);
        uci_ptr ptr{};
        ptr.p = p;
        ptr.s = s;
        ptr.section = s->e.name;
        ptr.option = "name";
        ptr.value = "new";
        ASSERT_EQ(uci_set(c.get(), &ptr), UCI_OK);
        ASSERT_EQ(uci_save(c.get(), p), UCI_OK);
    }
    EXPECT_EQ(get("fw.@rule[-1].name"), "new");
    EXPECT_EQ(get("fw.@rule[0].name"), "old");
    {
        Ctx c = context();
        std::vector<char> buf{'f', 'w', '\0'};
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, buf.data(), true), UCI_OK);
        ASSERT_EQ(uci_commit(c.get(), &p.p, false), UCI_OK);
    }
    EXPECT_EQ(staged("fw"), "") << "the staged changes are gone";
    EXPECT_EQ(independent("fw"), "[{\"name\": null, \"options\": {\"name\": \"old\"}, \"type\": \"rule\"}, "
                                 "{\"name\": null, \"options\": {\"name\": \"new\"}, \"type\": \"rule\"}]")
        << root.read("/etc/config/fw");
    EXPECT_EQ(get("fw.@rule[1].name"), "new");
}

TEST_F(UciApi, DeleteAndRenameAreStagedThenCommitted)
{
    root.write("/etc/config/net", kHandWritten);
    {
        Ctx c = context();
        std::string d = "net.lan.desc", r = "net.lan=home", l = "net.lan.dns=8.8.8.8";
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, d.data(), true), UCI_OK);
        ASSERT_EQ(uci_delete(c.get(), &p), UCI_OK);
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, l.data(), true), UCI_OK);
        ASSERT_EQ(uci_del_list(c.get(), &p), UCI_OK);
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, r.data(), true), UCI_OK);
        ASSERT_EQ(uci_rename(c.get(), &p), UCI_OK);
        ASSERT_EQ(uci_save(c.get(), p.p), UCI_OK);
    }
    EXPECT_EQ(get("net.lan.proto"), "<incomplete>");
    EXPECT_EQ(get("net.home.desc"), "<incomplete>");
    EXPECT_EQ(get("net.home.proto"), "static");
    EXPECT_EQ(get("net.home.dns"), "<list 1.1.1.1>");
    {
        Ctx c = context();
        std::string all = "net";
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, all.data(), true), UCI_OK);
        ASSERT_EQ(uci_commit(c.get(), &p.p, false), UCI_OK);
    }
    const std::string json = independent("net");
    EXPECT_NE(json.find("{\"name\": \"home\", \"options\": {\"dns\": [\"1.1.1.1\"], \"ipaddr\": \"192.168.1.1\", "
                        "\"proto\": \"static\"}, \"type\": \"interface\"}"),
              std::string::npos)
        << json;
    EXPECT_EQ(json.find("\"lan\""), std::string::npos) << json;
}

TEST_F(UciApi, BadExpressionsAndNamesAreRefused)
{
    root.write("/etc/config/net", kHandWritten);
    for (const char *expr : {"", "net..proto", "net.lan.pro to", "net.lan.proto.extra", "ne t.lan", "net.@rule[x].name",
                             "net.@rule[1.name"}) {
        const std::string got = get(expr);
        EXPECT_EQ(got.rfind("<rc ", 0), 0u) << "'" << expr << "' gave " << got;
    }
    EXPECT_EQ(get("net.@rule[].name"), "first") << "an empty index is the first section";
    EXPECT_NE(get("net.@rule[0].name=v\x01"), "v\x01");
    {
        Ctx c = context();
        EXPECT_NE(set(c.get(), "net.lan=bad type", true, false), UCI_OK);
        EXPECT_NE(set(c.get(), "net.lan.x=\x02", true, false), UCI_OK);
    }
    EXPECT_EQ(staged("net"), "");
    EXPECT_EQ(get("net.lan"), "<section interface>");
}

// Names have no length limit on the target; very long ones load, export and reload without harm.
TEST_F(UciApi, OverlongNamesAndValuesRoundTrip)
{
    const std::string name(70000, 'n'), value(300000, 'v');
    root.write("/etc/config/big", "config t '" + name + "'\n\toption " + name + " '" + value + "'\n");
    EXPECT_EQ(get("big." + name + "." + name), value);
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "big." + name + ".o=" + value + "x", false, true), UCI_OK);
    }
    EXPECT_EQ(get("big." + name + ".o"), value + "x");
    EXPECT_EQ(get("big." + name + "." + name), value);
}

// A torn or hand-edited delta file must not take the good lines down with it.
TEST_F(UciApi, GarbageLinesInTheDeltaFileAreSkipped)
{
    root.write("/etc/config/log", "config temp 'temp'\n\toption a '1'\n");
    root.write("/tmp/.uci/log", std::string("log.temp.a='2'\n???\nlog.temp.=x\n") + std::string("log.\0.c='x'\n", 12) +
                                    "-log.nosuch\nlog.temp.c='3'\nlog.temp.b='torn wri");
    EXPECT_EQ(get("log.temp.a"), "2");
    EXPECT_EQ(get("log.temp.c"), "3");
    EXPECT_EQ(get("log.temp.b"), "<incomplete>");
}

// Files other tools on the device read: layout and quoting exactly as the target's library writes them.
TEST_F(UciApi, CommittedFileAndExportHaveTheTargetLayout)
{
    root.write("/etc/config/net", "config rule\n option name first\nconfig interface lan\n list dns 8.8.8.8\n");
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "net.lan.desc=it's", false, false), UCI_OK);
        ASSERT_EQ(set(c.get(), "net.@rule[0].name=a\\b", false, true), UCI_OK);
    }
    EXPECT_EQ(root.read("/etc/config/net"),
              "\nconfig rule\n\toption name 'a\\b'\n\n"
              "config interface 'lan'\n\tlist dns '8.8.8.8'\n\toption desc 'it'\\''s'\n\n");
    Ctx c = context();
    uci_package *p = nullptr;
    ASSERT_EQ(uci_load(c.get(), "net", &p), UCI_OK);
    char *buf = nullptr;
    size_t len = 0;
    FILE *mem = open_memstream(&buf, &len);
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(uci_export(c.get(), mem, p, true), UCI_OK);
    fclose(mem);
    std::unique_ptr<char, decltype(&free)> owned(buf, &free);
    EXPECT_EQ(std::string(buf, len), "package net\n\nconfig rule\n\toption name 'a\\b'\n\n"
                                     "config interface 'lan'\n\tlist dns '8.8.8.8'\n\toption desc 'it'\\''s'\n\n");
}

TEST_F(UciApi, RevertingAMultiLineValueKeepsTheOtherStagedChanges)
{
    root.write("/etc/config/log", "config temp 'temp'\n");
    {
        Ctx c = context();
        ASSERT_EQ(set(c.get(), "log.temp.text=one\ntwo", true, false), UCI_OK);
        ASSERT_EQ(set(c.get(), "log.temp.after=kept", true, false), UCI_OK);
        ASSERT_EQ(set(c.get(), "log.other=temp", true, false), UCI_OK);
    }
    {
        Ctx c = context();
        std::string expr = "log.temp.text";
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, expr.data(), true), UCI_OK);
        ASSERT_EQ(uci_revert(c.get(), &p), UCI_OK);
    }
    EXPECT_EQ(get("log.temp.text"), "<incomplete>");
    EXPECT_EQ(get("log.temp.after"), "kept") << root.read("/tmp/.uci/log");
    EXPECT_EQ(get("log.other"), "<section temp>");
    {
        Ctx c = context();
        std::string expr = "log";
        uci_ptr p{};
        ASSERT_EQ(uci_lookup_ptr(c.get(), &p, expr.data(), true), UCI_OK);
        ASSERT_EQ(uci_revert(c.get(), &p), UCI_OK);
    }
    EXPECT_EQ(staged("log"), "") << "the staged changes are gone";
    EXPECT_EQ(get("log.temp.after"), "<incomplete>");
}

}  // namespace
