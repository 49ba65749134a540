#pragma once
// Sets TZ for the lifetime of a test and restores the previous zone afterwards.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class TzGuard {
  public:
    explicit TzGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TzGuard() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    TzGuard(const TzGuard&) = delete;
    TzGuard& operator=(const TzGuard&) = delete;

  private:
    std::optional<std::string> old_;
};
