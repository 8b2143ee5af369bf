// Builds opkg-style packages in memory: a gzip tar holding "./debian-binary", "./control.tar.gz"
// and "./data.tar.gz", with control.tar.gz holding "./control" (and optionally "./postinst").
// Members can be given any name and kind, so hostile packages can be crafted too.
#ifndef GWTEST_IPK_BUILDER_HPP
#define GWTEST_IPK_BUILDER_HPP

#include <string>
#include <vector>

namespace gwtest {

struct TarMember {
    enum Kind { File, Dir, Symlink, Hardlink };
    std::string name;
    std::string data;  // file contents, or the target of a link
    Kind kind = File;
    int mode = 0644;
};

// The bytes of a gzip-compressed tar with the members in order.
std::string make_tar_gz(const std::vector<TarMember> &members);
// The same without compression, to damage it on purpose before gzip().
std::string make_tar(const std::vector<TarMember> &members);
std::string gzip(const std::string &bytes);

struct IpkSpec {
    std::string control = "Package: demo\nVersion: 1.0.0\nArchitecture: arm\n";
    std::string postinst;                  // omitted when empty
    std::vector<TarMember> extra_control;  // added to control.tar.gz after ./control
    std::vector<TarMember> extra_outer;    // added to the outer archive after ./data.tar.gz
    // data.tar.gz carries this many bytes of incompressible filler so that the package is a
    // realistic size (the reader refuses packages under 512 bytes).
    size_t filler = 2048;
};

std::string make_ipk(const IpkSpec &spec);

// Writes bytes to a file, replacing it.
void write_bytes(const std::string &path, const std::string &bytes);

}  // namespace gwtest

#endif
