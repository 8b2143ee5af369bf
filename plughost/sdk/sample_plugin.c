/* The plug-in SDK's example: a plug-in that owns its bus name, serves the management interface the
 * host calls, logs through libgwbus under its container's tag, and ends when told to stop.
 *
 * Its bus name is "com.<vendor>.<name><DbusVersion>" as in its control file; the host derives the
 * same name, object path and interface from the control file, so the three must agree. */
#include <gio/gio.h>

#include <gwbus/log.h>

#define SAMPLE_BUS_NAME "com.acme.sample1"
#define SAMPLE_PATH "/com/acme/sample1"
#define SAMPLE_IFACE SAMPLE_BUS_NAME ".management"

static const char introspection[] = "<node><interface name='" SAMPLE_IFACE "'>"
                                    "<method name='Stop'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='Restore'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='Reload'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='PostMsg'><arg type='s' name='msg' direction='in'/>"
                                    "<arg type='s' name='ret' direction='out'/></method>"
                                    "</interface></node>";

static GMainLoop *loop;
static unsigned reloads;

static void on_method(GDBusConnection *connection, const gchar *sender, const gchar *path, const gchar *iface,
                      const gchar *method, GVariant *params, GDBusMethodInvocation *invocation, gpointer user)
{
    (void)connection, (void)sender, (void)path, (void)iface, (void)user;
    api_sysLogPrint(LOG_LVL_NOTICE, "%s:%d %s requested", "sample_plugin", __LINE__, method);
    if (g_strcmp0(method, "PostMsg") == 0) {
        const gchar *msg = NULL;
        g_variant_get(params, "(&s)", &msg);
        gchar *answer = g_strdup_printf("sample got '%s' after %u reloads", msg, reloads);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", answer));
        g_free(answer);
        return;
    }
    if (g_strcmp0(method, "Reload") == 0)
        ++reloads;
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(i)", 0));
    if (g_strcmp0(method, "Stop") == 0)
        g_main_loop_quit(loop);
}

static const GDBusInterfaceVTable vtable = {on_method, NULL, NULL, {NULL}};

static void on_bus(GDBusConnection *connection, const gchar *name, gpointer node)
{
    (void)name;
    GError *error = NULL;
    if (!g_dbus_connection_register_object(connection, SAMPLE_PATH, ((GDBusNodeInfo *)node)->interfaces[0], &vtable,
                                           NULL, NULL, &error)) {
        api_sysLogPrint(LOG_LVL_ERR, "%s:%d register failed: %s", "sample_plugin", __LINE__, error->message);
        g_error_free(error);
        g_main_loop_quit(loop);
    }
}

static void on_name_acquired(GDBusConnection *connection, const gchar *name, gpointer user)
{
    (void)connection, (void)user;
    api_sysLogPrint(LOG_LVL_NOTICE, "%s:%d sample plug-in serves %s", "sample_plugin", __LINE__, name);
}

static void on_name_lost(GDBusConnection *connection, const gchar *name, gpointer user)
{
    (void)connection, (void)user;
    api_sysLogPrint(LOG_LVL_ERR, "%s:%d bus name %s lost", "sample_plugin", __LINE__, name);
    g_main_loop_quit(loop);
}

int main(void)
{
    api_sysLogOpen("PLUGIN[sample]");
    GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(introspection, NULL);
    if (!node)
        return 1;
    loop = g_main_loop_new(NULL, FALSE);
    unsigned owner = g_bus_own_name(G_BUS_TYPE_SYSTEM, SAMPLE_BUS_NAME, G_BUS_NAME_OWNER_FLAGS_NONE, on_bus,
                                    on_name_acquired, on_name_lost, node, NULL);
    g_main_loop_run(loop);
    g_bus_unown_name(owner);
    g_main_loop_unref(loop);
    g_dbus_node_info_unref(node);
    api_sysLogPrint(LOG_LVL_NOTICE, "%s:%d sample plug-in stopped", "sample_plugin", __LINE__);
    api_sysLogClose();
    return 0;
}
