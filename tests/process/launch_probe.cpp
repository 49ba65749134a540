// Started by launch in the tests: after an optional pause, writes what a detached run sees of
// itself (arguments, session, standard streams, open descriptors) to the file named by its
// second argument, and the text handed over on the descriptor named by TESSIM_DB_PASSWORD_FD
// when that is set. The file appears whole, by rename, so the test can poll for it.
//   launch_probe <mode> <report file> <pause in ms> [more arguments...]

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::string link_target(const std::string& path) {
    char buffer[4096];
    const ssize_t size = ::readlink(path.c_str(), buffer, sizeof buffer);
    return size < 0 ? std::string("?") : std::string(buffer, static_cast<std::size_t>(size));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[3])));

    const std::string report = argv[2];
    std::ofstream out(report + ".tmp");
    out << "argc " << argc << '\n';
    for (int i = 0; i < argc; ++i) out << "arg " << argv[i] << '\n';
    out << "sid " << ::getsid(0) << '\n';
    out << "pgid " << ::getpgid(0) << '\n';
    for (int fd = 0; fd <= 2; ++fd)
        out << "fd" << fd << ' ' << link_target("/proc/self/fd/" + std::to_string(fd)) << '\n';

    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return 4;
    out << "fds";
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || std::stoi(name) == ::dirfd(dir)) continue;
        const int fd = std::stoi(name);
        // The report file itself is ours, not inherited.
        if (link_target("/proc/self/fd/" + name) == report + ".tmp") continue;
        out << ' ' << fd;
    }
    ::closedir(dir);
    out << '\n';

    // The hand-over of a concealed argument, read the way the real program reads it.
    const char* handover = std::getenv("TESSIM_DB_PASSWORD_FD");
    out << "handover_env " << (handover ? handover : "-") << '\n';
    if (handover != nullptr) {
        std::string text;
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(std::atoi(handover), buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<std::size_t>(got));
        out << "handover_text " << text << '\n';
    }
    out.close();
    return std::rename((report + ".tmp").c_str(), report.c_str()) == 0 ? 0 : 5;
}
