// Zip archives of log files for upload.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include <archive.h>
#include <archive_entry.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/util.h"

namespace {

struct WriteDeleter {
    void operator()(archive *a) const noexcept { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry *e) const noexcept { archive_entry_free(e); }
};
using ArchiveWriter = std::unique_ptr<archive, WriteDeleter>;
using EntryPtr = std::unique_ptr<archive_entry, EntryDeleter>;

}  // namespace

extern "C" int archive_file_zip(const char *zip_path, const char **files)
{
    if (!zip_path || !files)
        return -1;
    ArchiveWriter zip(archive_write_new());
    if (!zip || archive_write_set_format_zip(zip.get()) != ARCHIVE_OK ||
        archive_write_open_filename(zip.get(), zip_path) != ARCHIVE_OK) {
        GWLOG(LOG_LVL_ERR, "open zip file %s failed, %s", zip_path,
              zip ? archive_error_string(zip.get()) : "out of memory");
        return -1;
    }
    int rc = 0;
    for (const char **f = files; *f; ++f) {
        struct stat st {};
        if (::stat(*f, &st) != 0 || !S_ISREG(st.st_mode)) {
            GWLOG(LOG_LVL_ERR, "stat file  %s failed.", *f);
            continue;
        }
        if (st.st_size == 0)
            continue;
        gw::UniqueFd fd(::open(*f, O_RDONLY | O_CLOEXEC));
        if (!fd)
            GWLOG(LOG_LVL_ERR, "open file %s failed.", *f);
        EntryPtr entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), *f);
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_mtime(entry.get(), st.st_mtime, 0);
        archive_entry_set_size(entry.get(), fd ? st.st_size : 0);
        if (archive_write_header(zip.get(), entry.get()) < ARCHIVE_WARN) {
            GWLOG(LOG_LVL_ERR, "write zip header of %s failed, %s", *f, archive_error_string(zip.get()));
            rc = -1;
            break;
        }
        if (!fd)
            continue;
        // A file that grows while it is read is cut at the size in its header.
        char block[8192];
        la_int64_t left = st.st_size;
        while (left > 0) {
            ssize_t n = ::read(fd.get(), block, sizeof block);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            size_t take =
                static_cast<size_t>(n) < static_cast<size_t>(left) ? static_cast<size_t>(n) : static_cast<size_t>(left);
            if (archive_write_data(zip.get(), block, take) < 0) {
                GWLOG(LOG_LVL_ERR, "write zip data of %s failed, %s", *f, archive_error_string(zip.get()));
                rc = -1;
                break;
            }
            left -= static_cast<la_int64_t>(take);
        }
        if (rc != 0)
            break;
    }
    if (archive_write_close(zip.get()) != ARCHIVE_OK) {
        GWLOG(LOG_LVL_ERR, "close zip file %s failed, %s", zip_path, archive_error_string(zip.get()));
        rc = -1;
    }
    return rc;
}
