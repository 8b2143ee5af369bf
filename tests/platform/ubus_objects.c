/* Test helper: registers the objects "yvproxy" and "yvtask" on a ubus daemon and prints every call it
 * receives as one line "<object> <method> <json>" on stdout; "ready" once both are registered.
 *   usage: ubus_objects SOCKET */
#include <stdio.h>
#include <stdlib.h>

#include <libubox/blobmsg_json.h>
#include <libubox/uloop.h>
#include <libubus.h>

static int on_call(struct ubus_context *ctx, struct ubus_object *obj, struct ubus_request_data *req, const char *method,
                   struct blob_attr *msg)
{
    char *json = msg ? blobmsg_format_json(msg, true) : NULL;

    (void)ctx;
    (void)req;
    printf("%s %s %s\n", obj->name, method, json ? json : "{}");
    fflush(stdout);
    free(json);
    return UBUS_STATUS_OK;
}

static const struct ubus_method proxy_methods[] = {
    UBUS_METHOD_NOARG("task_request", on_call),
};
static const struct ubus_method task_methods[] = {
    UBUS_METHOD_NOARG("task_upgrade_result_response", on_call),
};
static struct ubus_object_type proxy_type = UBUS_OBJECT_TYPE("yvproxy", proxy_methods);
static struct ubus_object_type task_type = UBUS_OBJECT_TYPE("yvtask", task_methods);

static struct ubus_object objects[] = {
    {.name = "yvproxy", .type = &proxy_type, .methods = proxy_methods, .n_methods = 1},
    {.name = "yvtask", .type = &task_type, .methods = task_methods, .n_methods = 1},
};

int main(int argc, char **argv)
{
    struct ubus_context *ctx;
    size_t i;

    if (argc != 2) {
        fprintf(stderr, "usage: %s SOCKET\n", argv[0]);
        return 2;
    }
    uloop_init();
    ctx = ubus_connect(argv[1]);
    if (!ctx) {
        fprintf(stderr, "cannot connect to %s\n", argv[1]);
        return 1;
    }
    ubus_add_uloop(ctx);
    for (i = 0; i < sizeof(objects) / sizeof(objects[0]); i++) {
        if (ubus_add_object(ctx, &objects[i]) != 0) {
            fprintf(stderr, "cannot register %s\n", objects[i].name);
            return 1;
        }
    }
    printf("ready\n");
    fflush(stdout);
    uloop_run();
    ubus_free(ctx);
    uloop_done();
    return 0;
}
