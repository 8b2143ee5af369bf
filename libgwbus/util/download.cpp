// HTTP(S) and FTP downloads of packages to a file, with retries.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <curl/curl.h>

#include "gwbus/log.h"
#include "gwbus/util.h"

namespace {

constexpr int kAttempts = 3;
// Anything up to this size is taken as a truncated or empty answer, not a package.
constexpr double kMinBytes = 5;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_ALL); }
    ~CurlGlobal() { curl_global_cleanup(); }
    CurlGlobal(const CurlGlobal &) = delete;
    CurlGlobal &operator=(const CurlGlobal &) = delete;
};

struct CurlDeleter {
    void operator()(CURL *c) const noexcept { curl_easy_cleanup(c); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;

struct FileCloser {
    void operator()(FILE *f) const noexcept
    {
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
    }
};
using SyncedFile = std::unique_ptr<FILE, FileCloser>;

size_t write_to_file(char *data, size_t size, size_t nmemb, void *user)
{
    return std::fwrite(data, size, nmemb, static_cast<FILE *>(user));
}

}  // namespace

extern "C" int comm_download_file(const char *url, const char *file_path, int /*unused*/, double *size)
{
    if (!url || !file_path)
        return -1;
    CurlGlobal global;
    CurlPtr curl(curl_easy_init());
    if (!curl) {
        GWLOG(LOG_LVL_ERR, "curl_easy_init failed");
        return -1;
    }
    CURL *c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url);
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 4096L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 20L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, write_to_file);
    if (std::strncmp(url, "https://", 8) == 0) {
        // The platform's download hosts use certificates the gateway has no CA for.
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    }

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        GWLOG(LOG_LVL_INFO, "fopen(%s), Download No %d times.", file_path, attempt);
        SyncedFile file(std::fopen(file_path, "we"));
        if (!file) {
            GWLOG(LOG_LVL_ERR, "fopen(%s) error : %s", file_path, std::strerror(errno));
            return -1;
        }
        curl_easy_setopt(c, CURLOPT_WRITEDATA, file.get());
        CURLcode rc = curl_easy_perform(c);
        if (rc != CURLE_OK) {
            GWLOG(LOG_LVL_WARN, "download failed, %d:%s", static_cast<int>(rc), curl_easy_strerror(rc));
            continue;
        }
        long code = 0;
        double total = 0;
        curl_off_t bytes = 0;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
        curl_easy_getinfo(c, CURLINFO_TOTAL_TIME, &total);
        curl_easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &bytes);
        double downloaded = static_cast<double>(bytes);
        GWLOG(LOG_LVL_INFO, "download finished ...");
        GWLOG(LOG_LVL_INFO, "Response code is: %u", static_cast<unsigned>(code));
        GWLOG(LOG_LVL_INFO, "Total download time: %0.3f sec.", total);
        GWLOG(LOG_LVL_INFO, "Download size: %.0f bytes.", downloaded);
        if (size)
            *size = downloaded;
        if (downloaded > kMinBytes)
            return 0;  // the file is flushed and synced as it closes
    }
    return -1;
}
