/* Library utilities: downloads, ipk control files, zip archives, files and directories, text
 * lookups, numbers and addresses, UCI access, version files.
 *
 * Paths handed in by the caller are used as given. The fixed system paths named below
 * ("/opt/info", "/tmp", "/etc/openwrt_version", "/usr/lib/opkg/info/gwagent.control", the UCI
 * directories "/etc/config" and "/tmp/.uci") are taken below the run-time root (gwbus/rootpath.h).
 * Strings returned as char * are allocated with malloc; the caller frees them with free(). */
#ifndef GWBUS_UTIL_H
#define GWBUS_UTIL_H

#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Downloads */

/* Downloads url into file_path (truncated first), up to 3 attempts; a transfer counts only when more
 * than 5 bytes arrived. `unused` is accepted for the callers' 6 and has no effect. *size (optional)
 * receives the size of the last completed transfer in bytes. Returns 0 or -1. */
int comm_download_file(const char *url, const char *file_path, int unused, double *size);

/* Packages and archives */

/* Extracts "control" of an ipk (gzip tar holding control.tar.gz) into a new temporary directory
 * "/tmp/<8 hex digits>-XXXXXX" and returns "<dir>/control" (even when the inner extraction failed:
 * the caller then finds no file), or NULL. The caller frees the path and removes the directory with
 * remove_directory. */
char *extract_control_file_from_ipk(const char *ipk_path);

/* Extracts the members of a gzip tar whose names contain "control" to prefix + name (leading "./"
 * and "/" stripped). "-" reads standard input. `flags` are ARCHIVE_EXTRACT_* disk-write flags.
 * Members that would land outside the prefix ("..", absolute names) and link or device members are
 * skipped and logged. Returns 0 at the end of the archive, 1 when the archive cannot be opened or a
 * header cannot be read. */
int extract(const char *filename, const char *prefix, int flags);

/* Writes a zip archive of the listed regular files (NULL-terminated list), each under its own path
 * with mode 0644. Unexaminable and empty files are skipped; unopenable ones get an empty entry.
 * Returns 0, or -1 when the archive cannot be written. */
int archive_file_zip(const char *zip_path, const char **files);

/* Files and directories */

/* Copies from to `to` (created 0644 or truncated) in 4096-byte blocks. An empty or missing source is a
 * failure. Returns 0 or -1. */
int copy_file(const char *from, const char *to);

/* 0 when the path exists or was created (one level), else -1. */
int create_directory(const char *path, mode_t mode);

/* Removes a tree depth-first; symbolic links are unlinked, never followed. Returns the first error,
 * -1 when the directory cannot be opened, else the result of removing the top directory. */
int remove_directory(const char *path);

/* 0 when the file system holding "/opt/info" has more than needed_bytes available to unprivileged
 * users, -1 when it has not or cannot be queried. */
int ucf_statvfs(unsigned long long needed_bytes);

/* Adds the mode bits to the file (never removes any; symbolic links are not followed).
 * Returns 0 or -1. */
int ucf_set_file_mode(const char *path, mode_t mode);

/* Text lookups */

/* 1 when line begins with prefix, else 0. */
int string_strncmp(const char *prefix, const char *line);

/* The value after key in a line that begins with it: ":" and " " after the key are skipped, trailing
 * "\n", "\r" and " " trimmed. Returns a new string, or NULL when the line does not begin with the key
 * or the value is empty. */
char *get_buf_key_value(const char *key, const char *line);

/* Stores get_buf_key_value of the first line of the file (lines up to 255 characters) that begins
 * with key in *value, or NULL. Returns 0 when a value was stored, else -1. */
int comm_get_file_kv(const char *file, const char *key, char **value);

/* Numbers and addresses */

enum {
    DIGIT_TYPE_UINT8_D = 0, /* unsigned byte as "%d" */
    DIGIT_TYPE_UINT8 = 1,
    DIGIT_TYPE_INT16 = 2,
    DIGIT_TYPE_UINT16 = 3,
    DIGIT_TYPE_UINT32 = 4,
    DIGIT_TYPE_INT32 = 5,
    DIGIT_TYPE_INT64 = 6,
    DIGIT_TYPE_UINT64 = 7,
};

/* Formats *value (of the DIGIT_TYPE_ type) as decimal into buf and returns buf; an unknown type gives
 * "0". A NULL buf selects one static 128-byte buffer shared by all callers (not thread-safe: threads
 * pass their own). A NULL value returns NULL. */
char *digit2str(const void *value, int type, char *buf, size_t size);

/* 0 when text is non-empty and all decimal (base 10) or hexadecimal (base 16) digits, else -1. */
int isdigitStr(const char *text, int base);

/* 1 for a dotted-quad IPv4 address (four parts, each at most 255), else 0. */
int is_valid_ipaddr(const char *text);

/* 1 for an IPv6 address other than the unspecified and the loopback address, else 0. */
int is_valid_ipv6(const char *text);

/* UCI configuration: each call opens and closes its own context. */

/* Reads package.section.option into result. A plain option is copied whole (the buffer must hold
 * it); a list is joined with spaces, items holding whitespace single-quoted (a quote inside becomes
 * '\''), cut to 255 characters. Returns 0, or 1 when result is NULL, the option does not exist or is
 * of another type. */
int uci_config_get(const char *package, const char *section, const char *option, char *result);

/* The same into a buffer of size bytes: a plain option that does not fit is refused (1, logged)
 * rather than cut, a list is cut to the buffer. What the project itself reads goes through this one,
 * as option values are not bounded by anything but the file. */
int uci_config_get_n(const char *package, const char *section, const char *option, char *result, size_t size);

/* Sets package.section.option=value, creating the section (typed as its name) when missing, and saves
 * the change; commits it to the package file only when commit is nonzero. Returns 0 or nonzero. */
int uci_config_set(const char *package, const char *section, const char *option, const char *value, int commit);

/* Commits the staged changes of package. Returns 0 or the UCI error. */
int uci_config_commit(const char *package);

/* Versions */

/* First line of "/etc/openwrt_version" when it begins with "V" or "v", into buf (64 bytes); buf is
 * left unchanged otherwise. Returns 0 when buf was filled, else -1. */
int get_framework_version(char *buf);

/* The value after "Version: " in "/usr/lib/opkg/info/gwagent.control", cut to 23 characters, into
 * buf (24 bytes). Returns 0 when buf was filled, else -1. */
int get_gwagent_version(char *buf);

#ifdef __cplusplus
}
#endif

#endif
