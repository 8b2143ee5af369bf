// GET_ZEP_LOG: packs the framework's own logs into a zip archive and uploads it by HTTP.
//
// The upload may take up to 90 s (connect and transfer timeouts), so it runs on a worker thread and the
// main loop keeps serving the platform meanwhile; the worker hands its result back through an eventfd
// watched by the loop, which then answers. One upload at a time: a second request is refused while the
// first runs.
#include <dirent.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <gw/ubox.h>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "commands/cmd_zep_log.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace {

constexpr size_t kMaxLogFiles = 64;
constexpr size_t kMaxLogPath = 255;
constexpr char kArchive[] = "/tmp/log.zip";
constexpr const char *kFixedLogs[] = {"/map/var/zepmg.log", "/map/var/log/zep_lxc.log", "/hgutmp/zepsrv.log"};
constexpr const char *kLogDirs[] = {"/var/log/zep", "/var/log/plugin", "/tmp/orvane/zep", "/tmp/orvane/plugin"};
constexpr long kConnectTimeoutS = 30;
constexpr long kTransferTimeoutS = 60;

using CurlPtr = std::unique_ptr<CURL, gw::FreeWith<CURL, curl_easy_cleanup>>;
using MimePtr = std::unique_ptr<curl_mime, gw::FreeWith<curl_mime, curl_mime_free>>;
using SlistPtr = std::unique_ptr<curl_slist, gw::FreeWith<curl_slist, curl_slist_free_all>>;

bool is_regular(const std::string &path)
{
    struct stat st {};
    return ::lstat(gw::RootPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void close_dir(DIR *d) { ::closedir(d); }

// Directory entries "<dir>/<name>" of the regular files, in directory order, while the list has room.
void add_dir_files(const char *dir, std::vector<std::string> &files)
{
    const std::string rooted = gw::RootPath(dir);
    std::unique_ptr<DIR, gw::FreeWith<DIR, close_dir>> d(::opendir(rooted.c_str()));
    if (!d) {
        GWLOG(LOG_LVL_ERR, "Open dir error...");
        return;
    }
    while (files.size() < kMaxLogFiles) {
        const dirent *e = ::readdir(d.get());
        if (!e)
            break;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        char path[kMaxLogPath + 1];
        std::snprintf(path, sizeof path, "%.32s/%.64s", dir, e->d_name);
        if (is_regular(path))
            files.emplace_back(path);
    }
}

// Aborts a transfer when the agent shuts down.
std::atomic<bool> g_cancel{false};

int progress(void *, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return g_cancel.load() ? 1 : 0; }

// The server's reply body is not used (and must not reach the agent's standard output).
size_t discard(char *, size_t size, size_t count, void *) { return size * count; }

#define GW_CURL_SET(c, opt, value, what)                                                                               \
    do {                                                                                                               \
        if (curl_easy_setopt(c, opt, value) != CURLE_OK) {                                                             \
            GWLOG(LOG_LVL_ERR, "curl_easy_setopt " what " failed...");                                                 \
            return false;                                                                                              \
        }                                                                                                              \
    } while (0)

bool post_archive(const std::string &archive, long long size, const std::string &url)
{
    CurlPtr curl(curl_easy_init());
    if (!curl) {
        GWLOG(LOG_LVL_ERR, "Init CURL failed...");
        return false;
    }
    CURL *c = curl.get();
    MimePtr mime(curl_mime_init(c));
    curl_mimepart *part = mime ? curl_mime_addpart(mime.get()) : nullptr;
    if (!part || curl_mime_name(part, "file") != CURLE_OK) {
        GWLOG(LOG_LVL_ERR, "curl_mime_name failed...");
        return false;
    }
    if (curl_mime_filedata(part, archive.c_str()) != CURLE_OK) {
        GWLOG(LOG_LVL_ERR, "curl_mime_filedata failed...");
        return false;
    }
    // No "Expect: 100-continue" round trip before the body.
    SlistPtr headers(curl_slist_append(nullptr, "Expect:"));
    GW_CURL_SET(c, CURLOPT_MIMEPOST, mime.get(), "CURLOPT_MIMEPOST");
    GW_CURL_SET(c, CURLOPT_URL, url.c_str(), "CURLOPT_URL");
    GW_CURL_SET(c, CURLOPT_HTTPHEADER, headers.get(), "CURLOPT_HTTPHEADER");
    GW_CURL_SET(c, CURLOPT_INFILESIZE, static_cast<long>(size), "CURLOPT_INFILESIZE");
    GW_CURL_SET(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1), "CURLOPT_HTTP_VERSION");
    GW_CURL_SET(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS, "CURLOPT_CONNECTTIMEOUT");
    GW_CURL_SET(c, CURLOPT_TIMEOUT, kTransferTimeoutS, "CURLOPT_TIMEOUT");
    GW_CURL_SET(c, CURLOPT_VERBOSE, 0L, "CURLOPT_VERBOSE");
    // A worker thread must not take signals for its timeouts.
    GW_CURL_SET(c, CURLOPT_NOSIGNAL, 1L, "CURLOPT_NOSIGNAL");
    // A server that refuses the upload (HTTP 400 and above) has not received the log.
    GW_CURL_SET(c, CURLOPT_FAILONERROR, 1L, "CURLOPT_FAILONERROR");
    GW_CURL_SET(c, CURLOPT_XFERINFOFUNCTION, progress, "CURLOPT_XFERINFOFUNCTION");
    GW_CURL_SET(c, CURLOPT_NOPROGRESS, 0L, "CURLOPT_NOPROGRESS");
    GW_CURL_SET(c, CURLOPT_WRITEFUNCTION, discard, "CURLOPT_WRITEFUNCTION");
    const CURLcode rc = curl_easy_perform(c);
    if (rc != CURLE_OK) {
        GWLOG(LOG_LVL_ERR, "curl_easy_perform() failed, %d : %s", static_cast<int>(rc), curl_easy_strerror(rc));
        return false;
    }
    curl_off_t speed = 0;
    double total = 0;
    curl_easy_getinfo(c, CURLINFO_SPEED_UPLOAD_T, &speed);
    curl_easy_getinfo(c, CURLINFO_TOTAL_TIME, &total);
    GWLOG(LOG_LVL_DEBUG, "Speed: %.3f bytes/sec during %.3f seconds", static_cast<double>(speed), total);
    return true;
}

// Collects, zips and uploads; the archive is gone afterwards whatever happened.
bool upload_logs(const std::string &url)
{
    const std::vector<std::string> files = gwagent::zep_log_files();
    std::vector<std::string> rooted;
    for (const std::string &f : files)
        rooted.push_back(gw::RootPath(f));
    std::vector<const char *> list;
    for (const std::string &f : rooted)
        list.push_back(f.c_str());
    list.push_back(nullptr);

    const std::string archive = gw::RootPath(kArchive);
    GWLOG(LOG_LVL_DEBUG, "Prepare zip file: %s", archive.c_str());
    if (archive_file_zip(archive.c_str(), list.data()) != 0) {
        GWLOG(LOG_LVL_ERR, "Prepare zip file %s failed!", archive.c_str());
        ::unlink(archive.c_str());
        return false;
    }
    bool ok = false;
    {
        gw::UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!fd) {
            GWLOG(LOG_LVL_ERR, "open file %s failed.", archive.c_str());
        } else if (::fstat(fd.get(), &st) != 0) {
            GWLOG(LOG_LVL_ERR, "fstat %s error: %s", archive.c_str(), std::strerror(errno));
        } else {
            GWLOG(LOG_LVL_DEBUG, "file size: %d", static_cast<int>(st.st_size));
            // An empty archive is not worth a request; it counts as a failed upload.
            ok = st.st_size > 0 && post_archive(archive, st.st_size, url);
        }
    }
    ::unlink(archive.c_str());
    return ok;
}

// The upload in progress: the request it answers, its worker and the worker's hand-back descriptor.
struct Upload {
    int id;
    std::string sequence_id;
    std::string cmd_type;
    int fd;
    std::string url;
    bool ok = false;
    struct uloop_fd done = {};
    std::thread worker;
};

void finish(struct uloop_fd *, unsigned int);

// The one upload; its presence is the busy flag.
struct UploadSlot {
    std::unique_ptr<Upload> job;
    ~UploadSlot() { cancel(); }
    void cancel()
    {
        if (!job)
            return;
        g_cancel = true;
        if (job->worker.joinable())
            job->worker.join();
        ucf_close_uloop_fd(&job->done);
        job.reset();
        curl_global_cleanup();
        g_cancel = false;
    }
};
UploadSlot g_upload;

void finish(struct uloop_fd *, unsigned int)
{
    std::unique_ptr<Upload> job = std::move(g_upload.job);
    if (!job)
        return;
    job->worker.join();
    ucf_close_uloop_fd(&job->done);
    curl_global_cleanup();
    const gwagent::Request r{job->id, job->sequence_id.c_str(), job->cmd_type.c_str(), nullptr, job->fd};
    if (job->ok) {
        GWLOG(LOG_LVL_DEBUG, "Upload log success!");
        r.ok();
    } else {
        GWLOG(LOG_LVL_WARN, "Upload log failed!");
        r.fail("Upload log failed");
    }
}

}  // namespace

namespace gwagent {

std::vector<std::string> zep_log_files()
{
    std::vector<std::string> files;
    for (const char *f : kFixedLogs)
        if (is_regular(f))
            files.emplace_back(f);
    for (const char *dir : kLogDirs)
        add_dir_files(dir, files);
    return files;
}

bool zep_log_uploading() { return static_cast<bool>(g_upload.job); }

void zep_log_cancel() { g_upload.cancel(); }

}  // namespace gwagent

extern "C" int cmd_GET_ZEP_LOG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::string url;
    if (!r.required_text("UploadPath", kMaxLogPath, url) || url.find("http://") == std::string::npos) {
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return r.fail("parameter_error");
    }
    GWLOG(LOG_LVL_DEBUG, "The UploadPath is %s", url.c_str());
    if (g_upload.job) {
        GWLOG(LOG_LVL_WARN, "The log is uploading now!");
        return r.fail("Upload log running");
    }
    auto job = std::make_unique<Upload>();
    job->id = id;
    job->sequence_id = sequence_id ? sequence_id : "";
    job->cmd_type = cmd_type ? cmd_type : "";
    job->fd = fd;
    job->url = url;
    job->done.fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    job->done.cb = finish;
    if (job->done.fd < 0 || uloop_fd_add(&job->done, ULOOP_READ) != 0) {
        GWLOG(LOG_LVL_ERR, "create upload hand-back failed, %s", std::strerror(errno));
        if (job->done.fd >= 0)
            ::close(job->done.fd);
        GWLOG(LOG_LVL_WARN, "Upload log failed!");
        return r.fail("Upload log failed");
    }
    // Global set-up belongs to the main thread; the worker only uses an easy handle.
    curl_global_init(CURL_GLOBAL_ALL);
    Upload *u = job.get();
    g_upload.job = std::move(job);
    u->worker = std::thread([u] {
        u->ok = upload_logs(u->url);
        const uint64_t one = 1;
        (void)!::write(u->done.fd, &one, sizeof one);
    });
    return 0;
}
