/* The plug-in SDK's example: a plug-in that owns its bus name, serves the management interface the
 * host calls, logs through libgwbus under its container's tag, and ends when told to stop.
 *
 * Its bus name is "com.<vendor>.<name><DbusVersion>" as in its control file; the host derives the
 * same name, object path and interface from the control file, so they must agree. The host runs a
 * plug-in as "/files/<name>", so the program takes <name> from its own file name. */
#include <gio/gio.h>

#include <gwbus/log.h>

#include <string.h>

#define SAMPLE_VENDOR "acme"
#define SAMPLE_DBUS_VERSION "1"

static const char introspection[] = "<node><interface name='%s.management'>"
                                    "<method name='Stop'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='Restore'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='Reload'><arg type='i' name='ret' direction='out'/></method>"
                                    "<method name='PostMsg'><arg type='s' name='msg' direction='in'/>"
                                    "<arg type='s' name='ret' direction='out'/></method>"
                                    "</interface></node>";

static GMainLoop *loop;
static unsigned reloads;
static const char *package = "sample";
static gchar *object_path;

static void on_method(GDBusConnection *connection, const gchar *sender, const gchar *path, const gchar *iface,
                      const gchar *method, GVariant *params, GDBusMethodInvocation *invocation, gpointer user)
{
    (void)connection, (void)sender, (void)path, (void)iface, (void)user;
    api_sysLogPrint(LOG_LVL_NOTICE, "%s:%d %s requested", "sample_plugin", __LINE__, method);
    if (g_strcmp0(method, "PostMsg") == 0) {
        const gchar *msg = NULL;
        g_variant_get(params, "(&s)", &msg);
        gchar *answer = g_strdup_printf("%s got '%s' after %u reloads", package, msg, reloads);
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
    if (!g_dbus_connection_register_object(connection, object_path, ((GDBusNodeInfo *)node)->interfaces[0], &vtable,
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

int main(int argc, char **argv)
{
    if (argc > 0 && argv[0][0]) {
        const char *slash = strrchr(argv[0], '/');
        package = slash ? slash + 1 : argv[0];
    }
    gchar *tag = g_strdup_printf("PLUGIN[%s]", package);
    api_sysLogOpen(tag);
    gchar *bus_name = g_strdup_printf("com.%s.%s%s", SAMPLE_VENDOR, package, SAMPLE_DBUS_VERSION);
    object_path = g_strdup_printf("/com/%s/%s%s", SAMPLE_VENDOR, package, SAMPLE_DBUS_VERSION);
    gchar *xml = g_strdup_printf(introspection, bus_name);
    GDBusNodeInfo *node = g_dbus_is_name(bus_name) ? g_dbus_node_info_new_for_xml(xml, NULL) : NULL;
    g_free(xml);
    if (!node) {
        api_sysLogPrint(LOG_LVL_ERR, "%s:%d %s is no bus name", "sample_plugin", __LINE__, bus_name);
        return 1;
    }
    loop = g_main_loop_new(NULL, FALSE);
    unsigned owner = g_bus_own_name(G_BUS_TYPE_SYSTEM, bus_name, G_BUS_NAME_OWNER_FLAGS_NONE, on_bus, on_name_acquired,
                                    on_name_lost, node, NULL);
    g_main_loop_run(loop);
    g_bus_unown_name(owner);
    g_main_loop_unref(loop);
    g_dbus_node_info_unref(node);
    g_free(bus_name);
    g_free(object_path);
    api_sysLogPrint(LOG_LVL_NOTICE, "%s:%d sample plug-in stopped", "sample_plugin", __LINE__);
    api_sysLogClose();
    g_free(tag);
    return 0;
}
