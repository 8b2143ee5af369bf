// The package file grammar: config/option/list statements, quoting, comments; export and deltas.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "uci_internal.h"

namespace uci_impl {
namespace {

class Lexer {
public:
    explicit Lexer(const std::string &text) : s_(text) {}

    // Reads one statement's words. Returns false at the end of the input with no words; sets error_ on
    // a lexical fault.
    bool statement(std::vector<std::string> &words)
    {
        words.clear();
        start_line_ = line_;
        while (pos_ < s_.size() || !words.empty()) {
            skip_blanks();
            if (pos_ >= s_.size())
                return true;
            char c = s_[pos_];
            if (c == '\n' || c == ';') {
                if (c == '\n')
                    ++line_;
                ++pos_;
                if (words.empty()) {
                    start_line_ = line_;
                    continue;
                }
                return true;
            }
            if (c == '#') {
                skip_comment();
                continue;
            }
            std::string w;
            if (!word(w))
                return false;
            words.push_back(std::move(w));
        }
        return false;
    }

    const char *error() const { return error_; }
    int line() const { return error_ ? line_ : start_line_; }
    size_t byte() const { return pos_; }

private:
    void skip_blanks()
    {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r'))
            ++pos_;
    }
    void skip_comment()
    {
        while (pos_ < s_.size() && s_[pos_] != '\n')
            ++pos_;
    }

    // Adjacent quoted and bare parts form one word, as in a shell.
    bool word(std::string &w)
    {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';')
                return true;
            if (c == '#') {
                skip_comment();
                return true;
            }
            if (c == '\'') {
                size_t end = s_.find('\'', pos_ + 1);
                if (end == std::string::npos)
                    return fail("unterminated '");
                for (size_t i = pos_ + 1; i < end; ++i)
                    if (s_[i] == '\n')
                        ++line_;
                w.append(s_, pos_ + 1, end - pos_ - 1);
                pos_ = end + 1;
            } else if (c == '"') {
                ++pos_;
                for (;;) {
                    if (pos_ >= s_.size())
                        return fail("unterminated \"");
                    char d = s_[pos_++];
                    if (d == '"')
                        break;
                    if (d == '\\') {
                        if (pos_ >= s_.size())
                            return fail("unterminated \"");
                        d = s_[pos_++];
                        if (d == '\n') {
                            ++line_;
                            continue;
                        }
                    } else if (d == '\n') {
                        ++line_;
                    }
                    w += d;
                }
            } else if (c == '\\') {
                if (pos_ + 1 >= s_.size()) {
                    ++pos_;
                    return true;
                }
                char d = s_[pos_ + 1];
                pos_ += 2;
                if (d == '\n') {
                    ++line_;
                    continue;
                }
                w += d;
            } else {
                w += c;
                ++pos_;
            }
        }
        return true;
    }

    bool fail(const char *why)
    {
        error_ = why;
        return false;
    }

    const std::string &s_;
    size_t pos_ = 0;
    int line_ = 1;
    int start_line_ = 1;
    const char *error_ = nullptr;
};

}  // namespace

int parse_package(uci_context *ctx, uci_package *p, const std::string &text)
{
    Lexer lex(text);
    std::vector<std::string> w;
    uci_section *cur = nullptr;
    while (lex.statement(w)) {
        if (w.empty())
            continue;
        const std::string &kw = w[0];
        const char *why = nullptr;
        if (kw == "package") {
            if (w.size() != 2 || !valid_package(w[1].c_str()))
                why = "invalid package name";
        } else if (kw == "config") {
            if (w.size() < 2 || w.size() > 3)
                why = w.size() < 2 ? "missing section type" : "too many arguments";
            else if (!valid_type(w[1].c_str()))
                why = "invalid character in type field";
            else if (w.size() == 3 && !w[2].empty() && !valid_name(w[2].c_str()))
                why = "invalid character in name field";
            else {
                const char *name = (w.size() == 3 && !w[2].empty()) ? w[2].c_str() : nullptr;
                uci_section *s = name ? section_find(p, name) : nullptr;
                if (s)
                    section_set_type(s, w[1].c_str());
                else
                    s = section_create(p, w[1].c_str(), name);
                cur = s;
            }
        } else if (kw == "option" || kw == "list") {
            if (!cur)
                why = "option/list command found before the first section";
            else if (w.size() != 3)
                why = w.size() < 3 ? "missing argument" : "too many arguments";
            else if (!valid_name(w[1].c_str()))
                why = "invalid option name";
            else if (!valid_text(w[2].c_str()))
                why = "invalid character in value";
            else if (kw == "option")
                option_set(cur, w[1].c_str(), w[2].c_str(), nullptr);
            else
                option_add_list(cur, w[1].c_str(), w[2].c_str(), nullptr);
        } else {
            why = "invalid command";
        }
        if (why)
            return parse_error(ctx, why, lex.line(), lex.byte());
    }
    if (lex.error())
        return parse_error(ctx, lex.error(), lex.line(), lex.byte());
    return UCI_OK;
}

std::string quote(const char *s)
{
    std::string out = "'";
    for (; *s; ++s) {
        if (*s == '\'')
            out += "'\\''";
        else
            out += *s;
    }
    out += '\'';
    return out;
}

namespace {
bool bare_type(const char *s)
{
    for (; *s; ++s)
        if (!std::isalnum(static_cast<unsigned char>(*s)) && *s != '_' && *s != '-')
            return false;
    return true;
}
}  // namespace

std::string export_package(uci_package *p, bool header, bool names)
{
    std::string out;
    if (header)
        out += "package " + std::string(p->e.name) + "\n";  // package names never need quoting
    uci_element *se = nullptr;
    uci_foreach_element(&p->sections, se)
    {
        uci_section *s = uci_to_section(se);
        out += "\nconfig ";
        out += bare_type(s->type) ? std::string(s->type) : quote(s->type);
        if (!s->anonymous || names)
            out += " " + quote(s->e.name);
        out += '\n';
        uci_element *oe = nullptr;
        uci_foreach_element(&s->options, oe)
        {
            uci_option *o = uci_to_option(oe);
            if (o->type == UCI_TYPE_STRING) {
                out += "\toption " + std::string(o->e.name) + " " + quote(o->v.string) + "\n";
            } else {
                uci_element *ie = nullptr;
                uci_foreach_element(&o->v.list, ie) out +=
                    "\tlist " + std::string(o->e.name) + " " + quote(ie->name) + "\n";
            }
        }
    }
    if (header || !out.empty())
        out += '\n';
    return out;
}

namespace {

// One delta line: [prefix]package.section[.option][=value], the value quoted as in package files.
bool apply_delta_line(uci_package *p, const std::string &line)
{
    Lexer lex(line);
    std::vector<std::string> w;
    if (!lex.statement(w) || w.size() != 1 || lex.error())
        return false;
    std::string t = w[0];
    uci_command cmd = UCI_CMD_CHANGE;
    switch (t.empty() ? '\0' : t[0]) {
    case '-':
        cmd = UCI_CMD_REMOVE;
        break;
    case '@':
        cmd = UCI_CMD_RENAME;
        break;
    case '+':
        cmd = UCI_CMD_ADD;
        break;
    case '^':
        cmd = UCI_CMD_REORDER;
        break;
    case '|':
        cmd = UCI_CMD_LIST_ADD;
        break;
    case '~':
        cmd = UCI_CMD_LIST_DEL;
        break;
    default:
        break;
    }
    if (cmd != UCI_CMD_CHANGE)
        t.erase(0, 1);
    std::string value;
    bool has_value = false;
    size_t eq = t.find('=');
    if (eq != std::string::npos) {
        value = t.substr(eq + 1);
        has_value = true;
        t.erase(eq);
    }
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = t.find('.', start);
        parts.push_back(t.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    if (parts.size() < 2 || parts.size() > 3 || parts[0] != p->e.name || !valid_name(parts[1].c_str()))
        return false;
    const char *sec = parts[1].c_str();
    const char *opt = parts.size() == 3 ? parts[2].c_str() : nullptr;
    if (opt && !valid_name(opt))
        return false;
    if (has_value && !valid_text(value.c_str()))
        return false;
    uci_section *s = section_find(p, sec);
    uci_option *o = (s && opt) ? option_find(s, opt) : nullptr;

    switch (cmd) {
    case UCI_CMD_ADD:
    case UCI_CMD_CHANGE:
        if (!has_value)
            return false;
        if (!opt) {
            if (!valid_type(value.c_str()))
                return false;
            if (s)
                section_set_type(s, value.c_str());
            else
                s = section_create(p, value.c_str(), sec);
            if (cmd == UCI_CMD_ADD)
                s->anonymous = true;
            return true;
        }
        if (!s)
            return false;
        if (value.empty()) {
            if (o)
                element_delete(&o->e);
        } else {
            option_set(s, opt, value.c_str(), nullptr);
        }
        return true;
    case UCI_CMD_REMOVE:
        if (opt) {
            if (!o)
                return false;
            element_delete(&o->e);
        } else {
            if (!s)
                return false;
            element_delete(&s->e);
        }
        return true;
    case UCI_CMD_RENAME:
        if (!has_value || !valid_name(value.c_str()))
            return false;
        if (opt) {
            if (!o || option_find(s, value.c_str()))
                return false;
            element_rename(&o->e, value.c_str());
        } else {
            if (!s || section_find(p, value.c_str()))
                return false;
            element_rename(&s->e, value.c_str());
            s->anonymous = false;
        }
        return true;
    case UCI_CMD_LIST_ADD:
        if (!s || !opt || !has_value)
            return false;
        option_add_list(s, opt, value.c_str(), nullptr);
        return true;
    case UCI_CMD_LIST_DEL:
        if (!o || !has_value)
            return false;
        option_del_list(o, value.c_str());
        return true;
    default:
        return false;
    }
}

}  // namespace

std::vector<std::string> delta_statements(const std::string &text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        // A quoted value may span lines: extend until the line lexes as one statement.
        size_t end = nl == std::string::npos ? text.size() : nl;
        std::string line = text.substr(start, end - start);
        while (end < text.size()) {
            std::vector<std::string> w;
            Lexer probe(line);
            if (probe.statement(w), !probe.error())
                break;
            size_t next = text.find('\n', end + 1);
            size_t stop = next == std::string::npos ? text.size() : next;
            line = text.substr(start, stop - start);
            end = stop;
        }
        out.push_back(std::move(line));
        start = end + 1;
    }
    return out;
}

int apply_deltas(uci_package *p, const std::string &text)
{
    int n = 0;
    for (const std::string &statement : delta_statements(text))
        n += apply_delta_line(p, statement) ? 1 : 0;
    return n;
}

}  // namespace uci_impl
