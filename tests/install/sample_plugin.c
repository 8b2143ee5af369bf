/* A plug-in in miniature: built from the installed headers with pkg-config and linked against libgwbus
 * alone, it logs, formats a number and round-trips a JSON document through cJSON. */
#include <stdio.h>

#include <gwbus/cjson.h>
#include <gwbus/log.h>
#include <gwbus/util.h>

int main(void)
{
    api_sysLogOpen("PLUGIN[sample]");
    api_sysLogPrint(3, "%s:%d sample plug-in up", "sample_plugin", __LINE__);

    unsigned int port = 8443;
    char buf[32];
    printf("port %s\n", digit2str(&port, DIGIT_TYPE_UINT32, buf, sizeof buf));
    printf("prefix %d\n", string_strncmp("Package:", "Package: sample"));

    cJSON *doc = cJSON_Parse("{ \"name\": \"sample\", \"ports\": [80, 443] }");
    if (!doc) {
        puts("parse failed");
        return 1;
    }
    cJSON_AddItemToArray(cJSON_GetObjectItem(doc, "ports"), cJSON_CreateNumber(port));
    char *text = cJSON_PrintUnformatted(doc);
    char *pretty = cJSON_Print(doc);
    printf("json %s\n", text);
    printf("pretty %s\n", pretty);
    cJSON_free(pretty);
    cJSON_free(text);
    cJSON_Delete(doc);
    api_sysLogClose();
    return 0;
}
