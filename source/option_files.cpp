#include "source/option_files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/failure.hpp"
#include "process/descriptor.hpp"
#include "source/blanks.hpp"

namespace tessim {
namespace {

using tavmolibrary::process_library::Descriptor;
using tavmolibrary::process_library::read_all;

constexpr const char* kOwnFile = "/etc/tessim-clientes/my.cnf";
constexpr std::string_view kGroups[] = {"client", "client-server", "client-mariadb",
                                        "tessim_clientes"};
// Deep enough for any real layout, shallow enough to stop a file that includes itself.
constexpr int kMaxIncludeDepth = 10;

[[noreturn]] void fail(const std::string& file, const std::string& why) {
    throw DatabaseFailure(DatabaseFailure::Cause::connection, 0,
                          "arquivo de opções do MySQL " + file + ": " + why);
}

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The mysql client takes an option's name in any case, and '_' for '-'.
std::string option_key(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = c == '_' ? '-' : ascii_lower(c);
    return key;
}

bool starts_with_word(std::string_view line, std::string_view word, std::string_view& rest) {
    if (line.substr(0, word.size()) != word || line.size() == word.size() ||
        !blank(line[word.size()]))
        return false;
    rest = trim_blanks(line.substr(word.size()));
    return true;
}

// The escapes the mysql client reads in option values, and what each stands for; any other
// backslash stays as written.
constexpr std::string_view kEscaped = "btnrs\\'\"";
constexpr std::string_view kMeant = "\b\t\n\r \\'\"";

// The text after '=': a '#' outside quotes ends it (a backslash inside quotes keeps the next
// quote from closing them), blanks around it go, one pair of enclosing quotes goes, then the
// escapes are read.
std::string option_value(std::string_view written) {
    char quote = 0;
    bool escaped = false;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const char c = written[i];
        if ((c == '\'' || c == '"') && !escaped) {
            if (quote == 0)
                quote = c;
            else if (quote == c)
                quote = 0;
        }
        if (quote == 0 && c == '#') {
            written = written.substr(0, i);
            break;
        }
        escaped = quote != 0 && c == '\\' && !escaped;
    }
    written = trim_blanks(written);
    if (written.size() >= 2 && (written.front() == '\'' || written.front() == '"') &&
        written.back() == written.front())
        written = written.substr(1, written.size() - 2);

    std::string value;
    value.reserve(written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != '\\' || i + 1 == written.size()) {
            value.push_back(written[i]);
            continue;
        }
        const char next = written[++i];
        if (const std::size_t at = kEscaped.find(next); at != std::string_view::npos) {
            value.push_back(kMeant[at]);
        } else {
            value.push_back('\\');
            value.push_back(next);
        }
    }
    return value;
}

// The whole file, or nullopt when it does not exist or, with `skip_unusable`, cannot be used.
std::optional<std::string> file_text(const std::string& path, bool skip_unusable) {
    const auto unusable = [&](const std::string& why) -> std::optional<std::string> {
        if (skip_unusable) return std::nullopt;
        fail(path, why);
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        return unusable(std::string("não pôde ser aberto (") + std::strerror(errno) + ")");
    }
    const Descriptor closer(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return unusable(std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return unusable("é uma pasta, não um arquivo");
    // The mysql client ignores such a file; a password that anyone could have replaced is
    // not one to use, and silently skipping it would only leave a puzzling login failure.
    if (info.st_mode & S_IWOTH)
        return unusable("qualquer usuário pode alterá-lo (modo o+w); corrija as permissões");
    std::string text;
    if (const int error = read_all(fd, text); error != 0)
        return unusable(std::string("não pôde ser lido (") + std::strerror(error) + ")");
    return text;
}

class Reader {
  public:
    explicit Reader(bool password_given) : password_given_(password_given) {}
    ClientOptions found;

    void read_file(const std::string& path, int depth) {
        if (depth > kMaxIncludeDepth) fail(path, "inclusões aninhadas demais (inclusão circular?)");
        const std::optional<std::string> text = file_text(path, password_given_);
        if (!text) return;
        bool in_group = false;
        bool in_our_group = false;
        std::size_t line_number = 0;
        std::string_view rest = *text;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view line = trim_blanks(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            ++line_number;
            const auto where = [&] { return "linha " + std::to_string(line_number); };

            if (line.empty() || line.front() == '#' || line.front() == ';') continue;
            if (line.front() == '!') {
                std::string_view target;
                if (starts_with_word(line, "!includedir", target))
                    read_folder(std::string(target), path, depth + 1);
                else if (starts_with_word(line, "!include", target))
                    read_file(std::string(target), depth + 1);
                continue;  // other directives mean nothing to the mysql client either
            }
            if (line.front() == '[') {
                const std::size_t close = line.find(']');
                if (close == std::string_view::npos)
                    fail(path, where() + ": definição de grupo sem ']'");
                const std::string_view group = line.substr(1, close - 1);
                in_group = true;
                in_our_group =
                    std::any_of(std::begin(kGroups), std::end(kGroups),
                                [&](std::string_view g) { return same_ignoring_case(g, group); });
                continue;
            }
            if (!in_group) fail(path, where() + ": opção antes de qualquer [grupo]");
            if (!in_our_group) continue;
            const std::size_t equals = line.find('=');
            const std::string key = option_key(trim_blanks(line.substr(0, equals)));
            const std::optional<std::string> value =
                equals == std::string_view::npos
                    ? std::nullopt
                    : std::optional(option_value(line.substr(equals + 1)));
            // A bare "password" asks the mysql client to prompt; there is no one to ask here.
            if (key == "password") {
                if (value && !password_given_) found.password = OptionFilePassword{*value, path};
                continue;
            }
            if (const std::string refused =
                    take_tls_option(found.tls, key, value ? &*value : nullptr);
                !refused.empty())
                fail(path, where() + ": " + refused);
        }
    }

  private:
    bool password_given_;

    void read_folder(const std::string& folder, const std::string& from, int depth) {
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
        if (!dir && password_given_) return;
        if (!dir)
            fail(from, "a pasta incluída " + folder + " não pôde ser lida (" +
                           std::strerror(errno) + ")");
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir.get())) {
            const std::string_view name = entry->d_name;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".cnf") names.emplace_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) read_file(folder + "/" + name, depth);
    }
};

// The home folder of the user this process runs as, from the user database.
std::optional<std::string> home_folder() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result) != 0 ||
        result == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] == '\0')
        return std::nullopt;
    return std::string(entry.pw_dir);
}

}  // namespace

std::vector<std::string> client_option_files() {
    std::vector<std::string> files = {"/etc/my.cnf", "/etc/mysql/my.cnf", kOwnFile};
    if (const auto home = home_folder()) {
        struct stat info {};
        if (::stat(home->c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            files.push_back(*home + (home->back() == '/' ? "" : "/") + ".my.cnf");
    }
    return files;
}

ClientOptions read_option_files(const std::vector<std::string>& files, bool password_given) {
    Reader reader(password_given);
    for (const std::string& file : files) reader.read_file(file, 0);
    return std::move(reader.found);
}

}  // namespace tessim
