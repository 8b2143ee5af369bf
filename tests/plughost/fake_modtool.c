/* Stands in for insmod and rmmod in tests: appends its arguments to $FAKE_MODTOOL_LOG, writes
 * $FAKE_MODTOOL_ERR to standard error and exits with $FAKE_MODTOOL_RC. */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    const char *log = getenv("FAKE_MODTOOL_LOG");
    if (log) {
        FILE *f = fopen(log, "a");
        if (f) {
            for (int i = 1; i < argc; ++i)
                fprintf(f, "%s%s", i > 1 ? " " : "", argv[i]);
            fputc('\n', f);
            fclose(f);
        }
    }
    const char *err = getenv("FAKE_MODTOOL_ERR");
    if (err)
        fputs(err, stderr);
    const char *rc = getenv("FAKE_MODTOOL_RC");
    return rc ? atoi(rc) : 0;
}
