#include "source/tls_settings.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "source/blanks.hpp"

namespace tessim {
namespace {

// In the order of SslMode.
constexpr std::string_view kModes[] = {"DISABLED", "PREFERRED", "REQUIRED", "VERIFY_CA",
                                       "VERIFY_IDENTITY"};

std::string_view mode_name(SslMode mode) {
    return kModes[static_cast<std::size_t>(mode)];
}

// ssl-verify-server-cert only ever raises the mode: a later "off" does not lower an ssl-mode
// that asks for verification.
SslMode effective_mode(const TlsSettings& tls) {
    return tls.verify_server_cert ? SslMode::verify_identity : tls.mode;
}

// Why `path` cannot be opened for reading, or the empty text.
std::string unreadable(const std::string& path, bool folder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return {};
}

}  // namespace

std::string take_tls_option(TlsSettings& tls, std::string_view key, const std::string* value) {
    const auto no_value = [&] { return std::string(key) + " sem valor"; };
    if (key == "ssl-mode") {
        if (value == nullptr) return no_value();
        for (std::size_t i = 0; i < std::size(kModes); ++i)
            if (same_ignoring_case(*value, kModes[i])) {
                tls.mode = static_cast<SslMode>(i);
                return {};
            }
        return "ssl-mode '" + *value +
               "' desconhecido (DISABLED, PREFERRED, REQUIRED, VERIFY_CA ou VERIFY_IDENTITY)";
    }
    if (key == "ssl-verify-server-cert") {
        for (std::string_view yes : {"1", "on", "true"})
            if (value == nullptr || same_ignoring_case(*value, yes)) {
                tls.verify_server_cert = true;
                return {};
            }
        for (std::string_view no : {"0", "off", "false"})
            if (same_ignoring_case(*value, no)) {
                tls.verify_server_cert = false;
                return {};
            }
        return "ssl-verify-server-cert '" + *value + "' não é 0 nem 1";
    }
    const std::pair<std::string_view, std::string*> texts[] = {
        {"ssl-ca", &tls.ca},   {"ssl-capath", &tls.capath}, {"ssl-cert", &tls.cert},
        {"ssl-key", &tls.key}, {"ssl-cipher", &tls.cipher}, {"tls-version", &tls.tls_version},
    };
    for (const auto& [known, field] : texts)
        if (key == known) {
            if (value == nullptr) return no_value();
            *field = *value;
            return {};
        }
    return {};
}

std::string apply_tls(MYSQL* conn, const TlsSettings& tls) {
    const SslMode mode = effective_mode(tls);
    const my_bool use = mode != SslMode::disabled;
    const my_bool check_name = mode == SslMode::verify_identity;
    mysql_optionsv(conn, MYSQL_OPT_SSL_ENFORCE, &use);
    mysql_optionsv(conn, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &check_name);
    if (!use) return {};
    // Without one, VERIFY_CA would check no chain at all and VERIFY_IDENTITY would trust every
    // CA of the system's store.
    if (mode >= SslMode::verify_ca && tls.ca.empty() && tls.capath.empty())
        return "ssl-mode=" + std::string(mode_name(mode)) + " precisa de ssl-ca ou ssl-capath";

    struct File {
        std::string_view option;
        const std::string& path;
        mysql_option handed_as;
    };
    const File files[] = {{"ssl-ca", tls.ca, MYSQL_OPT_SSL_CA},
                          {"ssl-capath", tls.capath, MYSQL_OPT_SSL_CAPATH},
                          {"ssl-cert", tls.cert, MYSQL_OPT_SSL_CERT},
                          {"ssl-key", tls.key, MYSQL_OPT_SSL_KEY}};
    for (const File& file : files) {
        if (file.path.empty()) continue;
        if (const std::string why = unreadable(file.path, file.handed_as == MYSQL_OPT_SSL_CAPATH);
            !why.empty())
            return std::string(file.option) + " " + file.path + " não pôde ser lido (" + why + ")";
        mysql_optionsv(conn, file.handed_as, file.path.c_str());
    }
    if (!tls.cipher.empty()) mysql_optionsv(conn, MYSQL_OPT_SSL_CIPHER, tls.cipher.c_str());
    if (!tls.tls_version.empty())
        mysql_optionsv(conn, MARIADB_OPT_TLS_VERSION, tls.tls_version.c_str());
    return {};
}

std::string tls_shortfall(MYSQL* conn, const TlsSettings& tls) {
    const SslMode mode = effective_mode(tls);
    if (mode < SslMode::required || mysql_get_ssl_cipher(conn) != nullptr) return {};
    return "o servidor não oferece TLS, e ssl-mode=" + std::string(mode_name(mode)) + " o exige";
}

std::string tls_label(const TlsSettings& tls) {
    const SslMode mode = effective_mode(tls);
    std::string label;
    if (mode != SslMode::preferred) label = ", ssl-mode=" + std::string(mode_name(mode));
    if (mode == SslMode::disabled) return label;
    if (!tls.ca.empty()) label += ", ssl-ca " + tls.ca;
    if (!tls.capath.empty()) label += ", ssl-capath " + tls.capath;
    return label;
}

}  // namespace tessim
