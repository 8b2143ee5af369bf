#include "gwbus/rootpath.h"

#include <cstdlib>
#include <cstring>

#include "gwbus/strutil.h"

extern "C" const char *gw_root(void)
{
    const char *root = std::getenv("GW_ROOT");
    if (!root || !*root || std::strcmp(root, "/") == 0)
        return "";
    return root;
}

namespace gw {
std::string RootPath(std::string_view abs_path)
{
    if (abs_path.empty() || abs_path.front() != '/')
        return std::string(abs_path);
    std::string root = gw_root();
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root + std::string(abs_path);
}
}  // namespace gw

extern "C" char *gw_root_path(const char *abs_path, char *buf, size_t size)
{
    if (!buf || size == 0)
        return buf;
    copy_truncated(buf, size, gw::RootPath(abs_path ? abs_path : "").c_str());
    return buf;
}
