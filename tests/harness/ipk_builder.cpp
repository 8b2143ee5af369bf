#include "ipk_builder.hpp"

#include <fstream>
#include <memory>
#include <stdexcept>

#include <archive.h>
#include <archive_entry.h>

namespace gwtest {
namespace {

struct WriteDeleter {
    void operator()(archive *a) const noexcept { archive_write_free(a); }
};
struct EntryDeleter {
    void operator()(archive_entry *e) const noexcept { archive_entry_free(e); }
};

la_ssize_t append_cb(archive *, void *user, const void *buf, size_t len)
{
    static_cast<std::string *>(user)->append(static_cast<const char *>(buf), len);
    return static_cast<la_ssize_t>(len);
}

void check(int rc, archive *a, const char *what)
{
    if (rc < ARCHIVE_WARN)
        throw std::runtime_error(std::string(what) + ": " + (archive_error_string(a) ? archive_error_string(a) : "?"));
}

std::string filler_bytes(size_t n)
{
    std::string s(n, '\0');
    unsigned x = 2463534242u;
    for (auto &c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xff);
    }
    return s;
}

std::string tar_with(const std::vector<TarMember> &members, bool compress)
{
    std::string out;
    std::unique_ptr<archive, WriteDeleter> a(archive_write_new());
    if (compress)
        archive_write_add_filter_gzip(a.get());
    else
        archive_write_add_filter_none(a.get());
    archive_write_set_bytes_in_last_block(a.get(), 1);
    archive_write_set_format_ustar(a.get());
    check(archive_write_open2(a.get(), &out, nullptr, append_cb, nullptr, nullptr), a.get(), "open");
    for (const auto &m : members) {
        std::unique_ptr<archive_entry, EntryDeleter> e(archive_entry_new());
        archive_entry_set_pathname(e.get(), m.name.c_str());
        archive_entry_set_perm(e.get(), m.mode);
        archive_entry_set_mtime(e.get(), 1700000000, 0);
        switch (m.kind) {
        case TarMember::File:
            archive_entry_set_filetype(e.get(), AE_IFREG);
            archive_entry_set_size(e.get(), static_cast<la_int64_t>(m.data.size()));
            break;
        case TarMember::Dir:
            archive_entry_set_filetype(e.get(), AE_IFDIR);
            break;
        case TarMember::Symlink:
            archive_entry_set_filetype(e.get(), AE_IFLNK);
            archive_entry_set_symlink(e.get(), m.data.c_str());
            break;
        case TarMember::Hardlink:
            archive_entry_set_filetype(e.get(), AE_IFREG);
            archive_entry_set_hardlink(e.get(), m.data.c_str());
            break;
        }
        check(archive_write_header(a.get(), e.get()), a.get(), "header");
        if (m.kind == TarMember::File && !m.data.empty())
            archive_write_data(a.get(), m.data.data(), m.data.size());
    }
    check(archive_write_close(a.get()), a.get(), "close");
    return out;
}

}  // namespace

std::string make_tar_gz(const std::vector<TarMember> &members) { return tar_with(members, true); }
std::string make_tar(const std::vector<TarMember> &members) { return tar_with(members, false); }

std::string gzip(const std::string &bytes)
{
    std::string out;
    std::unique_ptr<archive, WriteDeleter> a(archive_write_new());
    archive_write_add_filter_gzip(a.get());
    archive_write_set_format_raw(a.get());
    check(archive_write_open2(a.get(), &out, nullptr, append_cb, nullptr, nullptr), a.get(), "open");
    std::unique_ptr<archive_entry, EntryDeleter> e(archive_entry_new());
    archive_entry_set_filetype(e.get(), AE_IFREG);
    archive_entry_set_pathname(e.get(), "raw");
    check(archive_write_header(a.get(), e.get()), a.get(), "header");
    archive_write_data(a.get(), bytes.data(), bytes.size());
    check(archive_write_close(a.get()), a.get(), "close");
    return out;
}

std::string make_ipk(const IpkSpec &spec)
{
    std::vector<TarMember> control{{"./control", spec.control}};
    if (!spec.postinst.empty())
        control.push_back({"./postinst", spec.postinst, TarMember::File, 0755});
    control.insert(control.end(), spec.extra_control.begin(), spec.extra_control.end());
    std::vector<TarMember> data{{"./usr/", "", TarMember::Dir, 0755},
                                {"./usr/bin/demo.bin", filler_bytes(spec.filler), TarMember::File, 0755}};
    std::vector<TarMember> outer{
        {"./debian-binary", "2.0\n"}, {"./control.tar.gz", make_tar_gz(control)}, {"./data.tar.gz", make_tar_gz(data)}};
    outer.insert(outer.end(), spec.extra_outer.begin(), spec.extra_outer.end());
    return make_tar_gz(outer);
}

void write_bytes(const std::string &path, const std::string &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace gwtest
