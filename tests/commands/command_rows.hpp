// Rows of one command and its only answer, each after optional property edits and with an optional
// refused call, played in order on the command fixture so later rows see what earlier ones wrote.
#ifndef TESTS_COMMANDS_COMMAND_ROWS_HPP
#define TESTS_COMMANDS_COMMAND_ROWS_HPP

#include <string>
#include <vector>

#include "command_steps.hpp"
#include "commands/cmd_table.h"

namespace agenttest {

struct Edit {
    std::string path, iface, name, value;
};

struct Row {
    std::string command;
    std::string answer;
    const char *refuse = nullptr;  // the simulator refuses the next call of this member
    std::string refuse_path = "*";
    std::vector<Edit> edits = {};
};

class RowTest : public CommandTest {
protected:
    void play(const std::vector<Row> &rows)
    {
        for (const Row &r : rows) {
            for (const Edit &e : r.edits)
                sim.set_property(e.path, e.iface, e.name, e.value);
            if (r.refuse)
                sim.fail_next(r.refuse, 1, r.refuse_path);
            EXPECT_EQ(run(r.command), r.answer) << r.command;
        }
    }
    // Hands the command object to its table row, as the dispatcher does after the envelope (texts the
    // envelope cannot carry reach the row this way), and returns the only answer.
    std::string run_row(const std::string &type, json_t *obj)
    {
        const int idx = gwagent_get_cmdidx(type.c_str());
        EXPECT_GE(idx, 0) << type;
        if (idx < 0)
            return "";
        json_object_set_new(obj, "CmdType", json_string(type.c_str()));
        json_object_set_new(obj, "SequenceId", json_string("1"));
        g_cmd_array[idx].handler(21, "1", type.c_str(), obj, -1);
        const auto answers = drain_answers();
        EXPECT_EQ(answers.size(), 1u) << type;
        return answers.empty() ? std::string() : answers[0];
    }
    void expect_logged(const std::vector<std::string> &lines)
    {
        for (const std::string &l : lines)
            EXPECT_TRUE(log.contains(l)) << l;
    }
};

}  // namespace agenttest

#endif
