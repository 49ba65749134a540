#include "ingress/conf.hpp"

#include <charconv>
#include <set>

#include "ingress/errors.hpp"
#include "ingress/names.hpp"

namespace ingress {
namespace {

[[noreturn]] void bad_conf(const std::string& why) {
    throw IngressError(ErrorCode::config_error, "bad ingestion configuration: " + why);
}

bool is_key_text(std::string_view k) {
    if (k.empty() || k.size() > 40) return false;
    for (char c : k) {
        if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
    }
    return true;
}

bool is_known_key(std::string_view k) {
    return k == "addr" || k == "username" || k == "password";
}

// host:port, [v6-address]:port, or a host alone. The host goes into a URL, so anything
// that could change the URL's meaning is refused.
void parse_addr(std::string_view v, SenderConf& conf) {
    std::string_view host = v;
    std::string_view port;
    if (!v.empty() && v.front() == '[') {
        const std::size_t close = v.find(']');
        if (close == std::string_view::npos) bad_conf("addr \"" + printable(v) + "\": no ']'");
        host = v.substr(0, close + 1);
        std::string_view rest = v.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') bad_conf("addr \"" + printable(v) + "\": junk after ']'");
            port = rest.substr(1);
            if (port.empty()) bad_conf("addr \"" + printable(v) + "\": empty port");
        }
    } else if (const std::size_t colon = v.rfind(':'); colon != std::string_view::npos) {
        host = v.substr(0, colon);
        port = v.substr(colon + 1);
        if (port.empty()) bad_conf("addr \"" + printable(v) + "\": empty port");
    }
    if (host.empty() || host == "[]") bad_conf("addr \"" + printable(v) + "\": empty host");
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '/' || c == '?' || c == '#' || c == '@' || c == '%' ||
            c == '\\' || (c == ':' && host.front() != '[')) {
            bad_conf("addr \"" + printable(v) + "\": bad character in host");
        }
    }
    conf.host = std::string(host);
    if (!port.empty()) {
        const auto number = port_number(port);
        if (!number)
            bad_conf("addr \"" + printable(v) + "\": port must be a number from 1 to 65535");
        conf.port = *number;
    }
}

}  // namespace

std::optional<std::uint16_t> port_number(std::string_view text) {
    std::uint16_t port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port == 0)
        return std::nullopt;
    return port;
}

SenderConf parse_conf(std::string_view text) {
    const std::size_t sep = text.find("::");
    if (sep == std::string_view::npos) {
        bad_conf("expected \"http::key=value;...\" (no \"::\" after the transport)");
    }
    const std::string_view schema = text.substr(0, sep);
    if (schema != "http") {
        if (schema == "https" || schema == "tcp" || schema == "tcps") {
            bad_conf("transport '" + std::string(schema) + "' is not supported, only http");
        }
        bad_conf("unknown transport \"" + printable(schema) + "\", expected http");
    }

    SenderConf conf;
    std::set<std::string, std::less<>> seen;
    bool after_password = false;  // a stray entry after it may be a piece of the password
    std::size_t pos = sep + 2;
    std::size_t entry = 0;
    while (pos < text.size()) {
        ++entry;
        const std::size_t eq = text.find('=', pos);
        const std::size_t semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            bad_conf("entry " + std::to_string(entry) + " has no '='" +
                     (after_password ? " (a ';' inside the password is written ';;')" : ""));
        }
        const std::string_view key = text.substr(pos, eq - pos);
        // The value runs to the first ';' that is not doubled.
        std::string value;
        std::size_t i = eq + 1;
        for (; i < text.size(); ++i) {
            if (text[i] == ';') {
                if (i + 1 < text.size() && text[i + 1] == ';') {
                    value.push_back(';');
                    ++i;
                    continue;
                }
                break;
            }
            value.push_back(text[i]);
        }
        pos = i + 1;

        if (!is_known_key(key)) {
            if (after_password) {
                bad_conf("entry " + std::to_string(entry) +
                         " after the password is not a known "
                         "key (a ';' inside the password is written ';;')");
            }
            if (!is_key_text(key)) bad_conf("entry " + std::to_string(entry) + ": bad key");
            bad_conf("unknown key '" + std::string(key) + "'");
        }
        if (!seen.insert(std::string(key)).second) {
            bad_conf("key '" + std::string(key) + "' given twice");
        }
        if (value.empty()) bad_conf("key '" + std::string(key) + "' has an empty value");

        // The value checks below quote the value they refuse; right after the password it
        // may be the rest of the password, cut at a single ';'.
        try {
            if (key == "addr") {
                parse_addr(value, conf);
            } else if (key == "username") {
                if (value.find(':') != std::string::npos) bad_conf("username must not contain ':'");
                conf.username = value;
            } else if (key == "password") {
                conf.password = value;
                after_password = true;
                continue;
            }
        } catch (const IngressError&) {
            if (!after_password) throw;
            bad_conf("entry " + std::to_string(entry) +
                     " after the password has a bad value (a ';' inside the password is "
                     "written ';;')");
        }
        after_password = false;
    }
    if (conf.host.empty()) bad_conf("'addr' is missing");
    if (conf.username.empty() != conf.password.empty()) {
        bad_conf("'username' and 'password' go together: give both or neither");
    }
    return conf;
}

}  // namespace ingress
