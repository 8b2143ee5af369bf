// SET_ATTCH_URL_CTR: binds a host to a template, updating its binding or adding one.
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_ATTCH_URL_CTR(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::string mac, name;
    // The MAC is read longer than it may be, so an over-long one is refused rather than cut valid.
    if (!r.required_text("MAC", 63, mac) || !r.required_text("TemplateName", gwagent::kTemplateNameKeep, name))
        return r.fail("parameter_error");
    if (!gwagent::valid_mac(mac.c_str())) {
        GWLOG(LOG_LVL_WARN, "MAC %s is invalid", mac.c_str());
        return r.fail("parameter_error");
    }
    gwagent::HostBindings bindings;
    if (!bindings.read())
        return r.fail("object_not_exist");

    if (const ccif_URLControlCTR_t *bound = bindings.find(mac.c_str())) {
        ccif_URLControlCTR_t rec = *bound;
        copy_truncated(rec.TemplateName, name.c_str());
        if (ccif_URLControlCTR_set(&rec) != 0) {
            GWLOG(LOG_LVL_WARN, "set URLControlCTR.TemplateName of %s failed.", rec.path);
            return r.fail("UPDATE_FAILED");
        }
        return r.ok();
    }
    ccif_URLControlCTR_t rec{};
    copy_truncated(rec.MAC, mac.c_str());
    copy_truncated(rec.TemplateName, name.c_str());
    if (ccif_URLControlCTR_add_obj(&rec) != 0) {
        GWLOG(LOG_LVL_WARN, "add URLControlCTR for %s failed.", mac.c_str());
        return r.fail("ADD_FAILED");
    }
    // Adding writes only the template name; a binding without its MAC binds nobody, so it goes again.
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "MAC", g_variant_new_string(rec.MAC));
    if (ccif_URLControlCTR_setv(rec.path, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set URLControlCTR.MAC of %s failed.", rec.path);
        if (ccif_URLControlCTR_del_obj(rec.path) != 0)
            GWLOG(LOG_LVL_WARN, "delete URLControlCTR %s failed.", rec.path);
        return r.fail("ADD_FAILED");
    }
    return r.ok();
}
