// Helpers shared by the agent I/O tests: an independent cipher through the openssl command line,
// hex dumps, and a known device record.
#ifndef AGENTIO_UTIL_HPP
#define AGENTIO_UTIL_HPP

#include <optional>
#include <string>
#include <vector>

namespace agentio {

using Bytes = std::vector<unsigned char>;

std::string to_hex(const unsigned char *p, size_t n);
inline std::string to_hex(const Bytes &b) { return to_hex(b.data(), b.size()); }
inline std::string to_hex(const std::string &s)
{
    return to_hex(reinterpret_cast<const unsigned char *>(s.data()), s.size());
}
Bytes from_hex(const std::string &hex);

// Runs `openssl <args...> -in <tmp> -out <tmp>` (dgst: `-out <tmp> <tmp>`) on `input` and returns the output; nullopt
// when the tool fails or does not finish within 10 s.
std::optional<Bytes> openssl(const std::vector<std::string> &args, const Bytes &input);

// Exit status of a program run to completion (bounded wait), -1 when it did not finish.
int run_program(const std::vector<std::string> &argv, std::string *stdout_text = nullptr);

// Fills g_dev_info with a fixed identity: MAC "A1B2C3D4E5F6", GPONSN "YVCT12345678", serial prefix
// "YVCT12", VendorCode "ACME01", vendor key "vk-0123456789abc", ChallengeCode, SharedPasswd.
void set_known_dev_info();

}  // namespace agentio

#endif
