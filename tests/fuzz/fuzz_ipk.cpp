// Bytes as an ipk package through the control-file extraction, in a private run-time root.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gwbus/util.h"

namespace {

std::string make_root()
{
    char tmpl[] = "/tmp/fuzz-ipk-XXXXXX";
    if (!mkdtemp(tmpl))
        std::abort();
    std::string root = tmpl;
    ::mkdir((root + "/tmp").c_str(), 0755);
    setenv("GW_ROOT", root.c_str(), 1);
    return root;
}

struct RootCleanup {
    std::string root = make_root();
    ~RootCleanup() { remove_directory(root.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static RootCleanup root;
    std::string ipk = root.root + "/in.ipk";
    FILE *f = std::fopen(ipk.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (char *control = extract_control_file_from_ipk(ipk.c_str())) {
        std::string dir(control, std::strrchr(control, '/'));
        // Nothing may appear outside the temporary directory of the extraction.
        struct stat st {};
        if (::stat((root.root + "/etc").c_str(), &st) == 0 || ::stat((root.root + "/control").c_str(), &st) == 0 ||
            ::stat((root.root + "/tmp/control").c_str(), &st) == 0)
            std::abort();
        remove_directory(dir.c_str());
        std::free(control);
    }
    return 0;
}
