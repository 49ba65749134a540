#pragma once
// A throw-away folder for option files, removed with everything in it.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tessim::testing {

class OptionFilesDir {
  public:
    OptionFilesDir()
        : path_(std::filesystem::temp_directory_path() /
                ("tessim_cnf_" + std::to_string(::getpid()) + "_" + std::to_string(++count_))) {
        std::filesystem::create_directories(path_);
    }
    ~OptionFilesDir() { std::filesystem::remove_all(path_); }
    OptionFilesDir(const OptionFilesDir&) = delete;
    OptionFilesDir& operator=(const OptionFilesDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `text` to `name` inside the folder (mode 0644 under the usual umask).
    std::string write(const std::string& name, const std::string& text) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::trunc) << text;
        return file.string();
    }

  private:
    static inline int count_ = 0;
    std::filesystem::path path_;
};

}  // namespace tessim::testing
