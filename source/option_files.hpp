#pragma once
// The MySQL password from the MySQL option files, for a run whose DB_PASSWORD argument is the
// empty text (so that the password need not travel on any command line).
//
// Only the option `password` is taken, from the groups [client], [client-server],
// [client-mariadb] and [tessim_clientes]. Every other option in those files (host, port,
// user, database, socket, protocol, character set, init-command, SSL) is ignored: the command
// line and the fixed connection settings (utf8mb4, TCP) stay what they say. This is why the
// files are not handed to Connector/C (MYSQL_READ_DEFAULT_FILE/GROUP): it applies every option
// it finds over the ones already set, so a [client] default-character-set or init-command
// would silently change the session's character set, and its !includedir reads only the
// my.cnf of a folder, not the *.cnf files Debian keeps in /etc/mysql/mariadb.conf.d/.
//
// The files are read as the mysql client reads them: lines are trimmed; '#' and ';' start
// comment lines, and '#' outside quotes ends a value; group names compare without regard to
// case and option names too; a value may be enclosed in matching quotes; \b \t \n \r \s \\ \'
// \" are escapes; "!include FILE" and "!includedir DIR" (its *.cnf files in name order) read
// other files at that point. When several lines give a password, the last one read wins. A
// file that does not exist is skipped; a file that exists but cannot be read, is
// world-writable, or holds a line the format does not allow fails the run with a message
// naming the file (and line), never its content.

#include <optional>
#include <string>
#include <vector>

namespace tessim {

// Where an empty DB_PASSWORD argument looks, in reading order: the system files the mysql
// client reads (/etc/my.cnf, /etc/mysql/my.cnf), this program's own /etc/tessim-clientes/my.cnf,
// then .my.cnf in the home folder of the user the run belongs to (from the user database,
// not $HOME: a daemon that dropped root privileges may still carry root's HOME), when that
// folder exists.
std::vector<std::string> password_option_files();

struct OptionFilePassword {
    std::string password;
    std::string file;  // the file whose line gave it
};

// The last password given over `files` read in order; nullopt when none gives one. Throws
// DatabaseFailure (connection, code 0) naming the file for a file that exists but cannot be used.
std::optional<OptionFilePassword> password_from_option_files(const std::vector<std::string>& files);

}  // namespace tessim
