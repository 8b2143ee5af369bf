// Control files of ipk packages: the package is a gzip tar holding control.tar.gz, which holds
// "control". Only members named like "control" are written, and never outside the destination.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include <archive.h>
#include <archive_entry.h>
#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace {

constexpr size_t kBlockSize = 10240;
constexpr off_t kMinIpkSize = 512;

struct ReadDeleter {
    void operator()(archive *a) const noexcept { archive_read_free(a); }
};
struct WriteDeleter {
    void operator()(archive *a) const noexcept { archive_write_free(a); }
};
using ArchiveReader = std::unique_ptr<archive, ReadDeleter>;
using ArchiveWriter = std::unique_ptr<archive, WriteDeleter>;

std::string_view strip_leading(std::string_view name)
{
    while (true) {
        if (name.substr(0, 2) == "./")
            name.remove_prefix(2);
        else if (!name.empty() && name.front() == '/')
            name.remove_prefix(1);
        else
            return name;
    }
}

// A stripped member name may only name something inside the destination.
bool stays_inside(std::string_view name)
{
    if (name.empty() || name.front() == '/')
        return false;
    size_t pos = 0;
    while (pos <= name.size()) {
        size_t slash = name.find('/', pos);
        std::string_view part =
            name.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos);
        if (part == "..")
            return false;
        if (slash == std::string_view::npos)
            break;
        pos = slash + 1;
    }
    return true;
}

bool copy_data(archive *in, archive *out)
{
    const void *buf = nullptr;
    size_t len = 0;
    la_int64_t offset = 0;
    while (true) {
        int r = archive_read_data_block(in, &buf, &len, &offset);
        if (r == ARCHIVE_EOF)
            return true;
        if (r < ARCHIVE_WARN)
            return false;
        if (archive_write_data_block(out, buf, len, offset) < ARCHIVE_WARN)
            return false;
    }
}

}  // namespace

extern "C" {

int extract(const char *filename, const char *prefix, int flags)
{
    if (!filename || !prefix)
        return 1;
    ArchiveReader in(archive_read_new());
    ArchiveWriter out(archive_write_disk_new());
    if (!in || !out) {
        GWLOG(LOG_LVL_ERR, "error %s", "out of memory");
        return 1;
    }
    archive_read_support_filter_gzip(in.get());
    archive_read_support_format_tar(in.get());
    // The destination is absolute by construction, so ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS cannot be
    // used; stays_inside() keeps the member part relative instead.
    archive_write_disk_set_options(out.get(),
                                   flags | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    const char *source = std::strcmp(filename, "-") == 0 ? nullptr : filename;
    if (archive_read_open_filename(in.get(), source, kBlockSize) != ARCHIVE_OK) {
        GWLOG(LOG_LVL_ERR, "error %s", archive_error_string(in.get()) ? archive_error_string(in.get()) : filename);
        return 1;
    }
    while (true) {
        archive_entry *entry = nullptr;
        int r = archive_read_next_header(in.get(), &entry);
        if (r == ARCHIVE_EOF) {
            GWLOG(LOG_LVL_DEBUG, "extract file end. ret = %d", 0);
            return 0;
        }
        if (r < ARCHIVE_WARN) {
            const char *why = archive_error_string(in.get());
            GWLOG(LOG_LVL_ERR, "error %s", why ? why : "reading the archive header");
            return 1;
        }
        const char *raw = archive_entry_pathname(entry);
        if (!raw || !std::strstr(raw, "control"))
            continue;
        std::string_view name = strip_leading(raw);
        if (name.empty())
            continue;
        mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || (type != AE_IFREG && type != AE_IFDIR)) {
            GWLOG(LOG_LVL_WARN, "skip member %s: not a regular file or directory", raw);
            continue;
        }
        if (!stays_inside(name)) {
            GWLOG(LOG_LVL_WARN, "skip member %s: outside the destination", raw);
            continue;
        }
        std::string dest = std::string(prefix) + std::string(name);
        archive_entry_set_pathname(entry, dest.c_str());
        if (archive_write_header(out.get(), entry) < ARCHIVE_WARN) {
            GWLOG(LOG_LVL_WARN, "write %s failed, %s", dest.c_str(), archive_error_string(out.get()));
            continue;
        }
        if (archive_entry_size(entry) > 0 && !copy_data(in.get(), out.get()))
            GWLOG(LOG_LVL_WARN, "write %s failed, %s", dest.c_str(), archive_error_string(out.get()));
        archive_write_finish_entry(out.get());
    }
}

char *extract_control_file_from_ipk(const char *ipk_path)
{
    if (!ipk_path)
        return nullptr;
    struct stat st {};
    if (::stat(ipk_path, &st) != 0 || st.st_size < kMinIpkSize) {
        GWLOG(LOG_LVL_WARN, "%s is invalid, size %lu", ipk_path, static_cast<unsigned long>(st.st_size));
        return nullptr;
    }
    char name[32];
    std::snprintf(name, sizeof name, "/tmp/%08x-XXXXXX", g_random_int());
    std::string tmpl = gw::RootPath(name);
    if (!mkdtemp(tmpl.data())) {
        GWLOG(LOG_LVL_ERR, "Failed to create temporary directory");
        return nullptr;
    }
    std::string prefix = tmpl + "/";
    extract(ipk_path, prefix.c_str(), ARCHIVE_EXTRACT_TIME);
    std::string inner = prefix + "control.tar.gz";
    if (extract(inner.c_str(), prefix.c_str(), ARCHIVE_EXTRACT_TIME) != 0)
        GWLOG(LOG_LVL_ERR, "failed to extract %s", inner.c_str());
    return strdup((prefix + "control").c_str());
}

}  // extern "C"
