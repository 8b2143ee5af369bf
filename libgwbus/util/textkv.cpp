// "Key: value" lookups in text files, as in opkg control files.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gwbus/util.h"

namespace {
constexpr size_t kLineMax = 255;
}

extern "C" {

int string_strncmp(const char *prefix, const char *line)
{
    if (!prefix || !line)
        return 0;
    return std::strncmp(line, prefix, std::strlen(prefix)) == 0 ? 1 : 0;
}

char *get_buf_key_value(const char *key, const char *line)
{
    if (!string_strncmp(key, line))
        return nullptr;
    const char *begin = line + std::strlen(key);
    while (*begin == ':' || *begin == ' ')
        ++begin;
    const char *end = begin + std::strlen(begin);
    while (end > begin && (end[-1] == '\n' || end[-1] == '\r' || end[-1] == ' '))
        --end;
    if (end == begin)
        return nullptr;
    return strndup(begin, static_cast<size_t>(end - begin));
}

int comm_get_file_kv(const char *file, const char *key, char **value)
{
    if (!value)
        return -1;
    *value = nullptr;
    if (!file || !key)
        return -1;
    FILE *f = std::fopen(file, "re");
    if (!f)
        return -1;
    char line[kLineMax + 1];
    bool at_line_start = true;
    while (std::fgets(line, sizeof line, f)) {
        bool whole = std::strchr(line, '\n') != nullptr;
        // The tail of an overlong line is not a line of its own and must not match the key.
        if (at_line_start && string_strncmp(key, line)) {
            *value = get_buf_key_value(key, line);
            break;
        }
        at_line_start = whole;
    }
    std::fclose(f);
    return *value ? 0 : -1;
}

}  // extern "C"
