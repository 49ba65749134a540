#include "store/run_lock.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

#include "core/failure.hpp"

namespace tessim {
namespace {

constexpr std::string_view kPrefix = "tessim_clientes/";
// sun_path minus the leading NUL that marks the abstract namespace.
constexpr std::size_t kMaxName = sizeof(sockaddr_un::sun_path) - 1;
constexpr auto kRetryEvery = std::chrono::milliseconds(50);

// FNV-1a: fixed across builds and runs, which std::hash does not promise.
std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

[[noreturn]] void refused(const char* call) {
    throw SystemFailure(std::string("trava de execução: ") + call + ": " + std::strerror(errno));
}

}  // namespace

std::string run_lock_name(std::string_view quest_db_ip, std::string_view table) {
    std::string name = std::string(kPrefix) + std::string(quest_db_ip) + "/" + std::string(table);
    if (name.size() <= kMaxName) return name;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(fnv1a(quest_db_ip)));
    name = std::string(kPrefix) + "#" + hash + "/" + std::string(table);
    return name.substr(0, kMaxName);
}

std::optional<RunLock> RunLock::try_acquire(const std::string& name) {
    if (name.empty() || name.size() > kMaxName)
        throw std::logic_error("nome de trava de execução inválido");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) refused("socket");
    RunLock lock(fd);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // sun_path[0] stays NUL: the abstract namespace, no file.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return lock;
    if (errno == EADDRINUSE) return std::nullopt;
    refused("bind");
}

RunLock RunLock::acquire(const std::string& name) {
    for (;;) {
        if (auto lock = try_acquire(name)) return std::move(*lock);
        std::this_thread::sleep_for(kRetryEvery);
    }
}

}  // namespace tessim
