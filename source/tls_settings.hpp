#pragma once
// TLS on the connection to the management database: the settings the MySQL option files give
// under the mysql client's names, and how they map onto Connector/C.
//
// Connector/C 3.3 (Debian 12) and 3.4 (Debian 13) have different defaults, so every mode sets
// each option itself; and since a client asked for TLS carries on in plain text with a server
// that has none (both versions, unless the name is checked), the session is looked at after
// connecting:
//
//   mode              TLS asked  name checked  a session without TLS
//   DISABLED          no         no            -
//   PREFERRED         yes        no            accepted
//   REQUIRED          yes        no            ends the run
//   VERIFY_CA         yes        no            ends the run
//   VERIFY_IDENTITY   yes        yes           ends the run
//
// A CA, when one is named, is handed over in every mode but DISABLED, and Connector/C then
// checks the chain; the two verifying modes refuse to start without one. Connector/C 3.4 also
// compares the name whenever it holds a CA, except on connections to 127.0.0.1 and ::1, where
// it never does, whatever the mode.

#include <mysql.h>

#include <string>
#include <string_view>

namespace tessim {

enum class SslMode : unsigned char { disabled, preferred, required, verify_ca, verify_identity };

struct TlsSettings {
    SslMode mode = SslMode::preferred;
    bool verify_server_cert = false;  // MariaDB's ssl-verify-server-cert
    std::string ca, capath, cert, key, cipher, tls_version;
};

// Takes the option `key` (its name in the option files' one spelling: lower case, '-' for
// '_') with its value (nullptr for a bare name), when it is a TLS option. Returns what is
// wrong with a value it cannot take, or the empty text.
std::string take_tls_option(TlsSettings& tls, std::string_view key, const std::string* value);

// Hands the settings to Connector/C, before connecting. Returns what stops the connection
// from being tried (a named file that cannot be read, a verifying mode without a CA), or the
// empty text.
std::string apply_tls(MYSQL* conn, const TlsSettings& tls);

// After connecting: what the session lacks for the mode (TLS itself), or the empty text.
std::string tls_shortfall(MYSQL* conn, const TlsSettings& tls);

// The settings as a failure message shows them (", ssl-mode=VERIFY_CA, ssl-ca /etc/ca.pem");
// empty for the default.
std::string tls_label(const TlsSettings& tls);

}  // namespace tessim
