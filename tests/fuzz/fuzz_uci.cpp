// Bytes as a package file: whatever loads must export to a file that loads again to the same export.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <uci.h>

namespace {

struct CtxDeleter {
    void operator()(uci_context *c) const noexcept { uci_free_context(c); }
};
using Ctx = std::unique_ptr<uci_context, CtxDeleter>;

const std::string &confdir()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-uci-XXXXXX";
        if (!mkdtemp(tmpl))
            std::abort();
        return std::string(tmpl);
    }();
    return dir;
}

void write_file(const std::string &path, const void *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && fwrite(data, 1, size, f) != size)
        std::abort();
    fclose(f);
}

// Loads package "fz" and returns its export, or false when it does not load.
bool load_and_export(std::string &out)
{
    Ctx ctx(uci_alloc_context());
    uci_set_confdir(ctx.get(), confdir().c_str());
    uci_set_savedir(ctx.get(), (confdir() + "/save").c_str());
    uci_package *p = nullptr;
    if (uci_load(ctx.get(), "fz", &p) != UCI_OK || !p)
        return false;
    char *buf = nullptr;
    size_t len = 0;
    FILE *mem = open_memstream(&buf, &len);
    if (!mem)
        std::abort();
    int rc = uci_export(ctx.get(), mem, p, false);
    fclose(mem);
    out.assign(buf ? buf : "", len);
    free(buf);
    if (rc != UCI_OK)
        std::abort();
    return true;
}

void check_stable(const std::string &path, const std::string &first)
{
    write_file(path, first.data(), first.size());
    std::string second;
    if (!load_and_export(second)) {
        fprintf(stderr, "export does not load again:\n%s\n", first.c_str());
        std::abort();
    }
    if (first != second) {
        fprintf(stderr, "export changed on reload:\n--- first\n%s\n--- second\n%s\n", first.c_str(), second.c_str());
        std::abort();
    }
}

// The same bytes as staged changes over a fixed package: never fatal, and the result exports stably.
void as_delta(const uint8_t *data, size_t size)
{
    static const char kBase[] = "config sec 'sec'\n\toption a 'b'\n\tlist l 'x'\n\nconfig t\n\toption o 'v'\n";
    const std::string path = confdir() + "/fz";
    const std::string save = confdir() + "/save";
    mkdir(save.c_str(), 0700);
    write_file(path, kBase, sizeof kBase - 1);
    write_file(save + "/fz", data, size);
    std::string first;
    bool loaded = load_and_export(first);
    unlink((save + "/fz").c_str());
    if (!loaded) {
        fprintf(stderr, "a delta file made a good package fail to load\n");
        std::abort();
    }
    check_stable(path, first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 64 * 1024)
        return 0;
    as_delta(data, size);
    const std::string path = confdir() + "/fz";
    write_file(path, data, size);
    std::string first;
    if (!load_and_export(first))
        return 0;
    check_stable(path, first);
    return 0;
}
