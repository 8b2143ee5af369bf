/* Shared by the URL-control members: templates and their durations, host bindings, the MAC rule,
 * and list answers that stay within the answer limit. */
#ifndef GWAGENT_COMMANDS_CMD_URLCTL_H
#define GWAGENT_COMMANDS_CMD_URLCTL_H

#include <cstddef>
#include <string>

#include "commands/cmd_request.h"
#include "gwbus/objects.h"

namespace gwagent {

// A template name as the service keeps it.
constexpr size_t kTemplateNameKeep = sizeof(ccif_URLControlConfig_t::Name) - 1;

// All URLControlConfig objects, released (string lists included) with the holder.
struct TemplateList {
    ccif_URLControlConfig_t *items = nullptr;
    int count = 0;
    TemplateList() = default;
    TemplateList(const TemplateList &) = delete;
    TemplateList &operator=(const TemplateList &) = delete;
    ~TemplateList();
    bool read();
    const ccif_URLControlConfig_t *begin() const { return items; }
    const ccif_URLControlConfig_t *end() const { return items + count; }
    // Names are matched exactly.
    const ccif_URLControlConfig_t *find(const std::string &name) const;
};

// The URLControlDuration objects below one template.
struct DurationList {
    ccif_URLControlDuration_t *items = nullptr;
    int count = 0;
    DurationList() = default;
    DurationList(const DurationList &) = delete;
    DurationList &operator=(const DurationList &) = delete;
    ~DurationList();
    bool read(const char *template_path);
    const ccif_URLControlDuration_t *begin() const { return items; }
    const ccif_URLControlDuration_t *end() const { return items + count; }
};

// The URLControlCTR objects: one binding of a host to a template each.
struct HostBindings {
    ccif_URLControlCTR_t *items = nullptr;
    int count = 0;
    HostBindings() = default;
    HostBindings(const HostBindings &) = delete;
    HostBindings &operator=(const HostBindings &) = delete;
    ~HostBindings();
    bool read();
    const ccif_URLControlCTR_t *begin() const { return items; }
    const ccif_URLControlCTR_t *end() const { return items + count; }
    const ccif_URLControlCTR_t *find(const char *mac) const;
};

// Twelve hex digits, as LAN hosts carry their MACs.
bool valid_mac(const char *mac);
// Same address: letter case and colons ignored (the service may store either form).
bool same_mac(const char *a, const char *b);

// Reads "Name" and finds that template; on failure answers (parameter_error, object_not_exist,
// NOT_MATCH_URLControlConfig) itself, stores the send result in *rc and returns null.
const ccif_URLControlConfig_t *find_named_template(const Request &r, TemplateList &list, int *rc);

// Keeps an answer within CMD_RESP_MAX while its arrays grow: measured once with the arrays as they
// stand, then each element goes in only when the whole answer still fits (compact JSON adds exactly
// the element and a comma).
class AnswerBudget {
public:
    explicit AnswerBudget(const json_t *answer);
    bool ok() const { return ok_; }
    // Appends (and takes) item; false, item released, when it does not fit or cannot be serialised.
    bool append(json_t *array, json_t *item);

private:
    size_t used_ = 0;
    bool ok_ = false;
};

}  // namespace gwagent

#endif
