#pragma once
// The MySQL option files: the password, for a run whose DB_PASSWORD argument is the empty
// text (so that the password need not travel on any command line), and the TLS settings
// (source/tls_settings.hpp) for every run.
//
// Only the option `password` and the TLS options are taken, from the groups [client],
// [client-server], [client-mariadb] and [tessim_clientes]. Every other option in those files
// (host, port, user, database, socket, protocol, character set, init-command) is ignored: the
// command line and the fixed connection settings (utf8mb4, TCP) stay what they say. This is
// why the files are not handed to Connector/C (MYSQL_READ_DEFAULT_FILE/GROUP): it applies
// every option it finds over the ones already set, so a [client] default-character-set or
// init-command would silently change the session's character set, and its !includedir reads
// only the my.cnf of a folder, not the *.cnf files Debian keeps in /etc/mysql/mariadb.conf.d/.
//
// The files are read as the mysql client reads them: lines are trimmed; '#' and ';' start
// comment lines, and '#' outside quotes ends a value; group names compare without regard to
// case, and option names too, with '_' for '-'; a value may be enclosed in matching quotes;
// \b \t \n \r \s \\ \' \" are escapes; "!include FILE" and "!includedir DIR" (its *.cnf files
// in name order) read other files at that point. When several lines give an option, the last
// one read wins. A file that does not exist is skipped. A file that exists but cannot be read
// or is world-writable fails the run when the password is to come from the files; when the run
// was given its password, it is skipped as the mysql client skips it (no setting of it
// applies, and the default TLS mode still encrypts where the server allows). A line the
// format does not allow, or a TLS option with a value it cannot take, fails the run either
// way. Failures name the file (and line), never its content.

#include <optional>
#include <string>
#include <vector>

#include "source/tls_settings.hpp"

namespace tessim {

// The files, in reading order: the system files the mysql client reads (/etc/my.cnf,
// /etc/mysql/my.cnf), this program's own /etc/tessim-clientes/my.cnf, then .my.cnf in the home
// folder of the user the run belongs to (from the user database, not $HOME: a daemon that
// dropped root privileges may still carry root's HOME), when that folder exists.
std::vector<std::string> client_option_files();

struct OptionFilePassword {
    std::string password;
    std::string file;  // the file whose line gave it
};

struct ClientOptions {
    std::optional<OptionFilePassword> password;  // the last one given; none when the run has one
    TlsSettings tls;
};

// Reads `files` in order; `password_given` says the run has its password already. Throws
// DatabaseFailure (connection, code 0) naming the file for a file that fails the run.
ClientOptions read_option_files(const std::vector<std::string>& files, bool password_given);

}  // namespace tessim
