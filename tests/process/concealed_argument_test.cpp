#include "process/concealed_argument.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace process = tavmolibrary::process_library;

// A pipe holding `text`, closed for writing unless `keep_writer`; the read end is moved to
// a free descriptor above 9 so that numbers in the tests are stable.
struct HandOverPipe {
    int read_fd = -1;
    int write_fd = -1;
    HandOverPipe(const std::string& text, bool keep_writer = false) {
        int ends[2];
        if (::pipe(ends) != 0) throw std::runtime_error("pipe");
        if (::write(ends[1], text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            throw std::runtime_error("write");
        read_fd = ::fcntl(ends[0], F_DUPFD, 10);
        ::close(ends[0]);
        if (keep_writer) {
            write_fd = ends[1];
        } else {
            ::close(ends[1]);
        }
    }
    ~HandOverPipe() {
        if (write_fd >= 0) ::close(write_fd);
        if (read_fd >= 0 && ::fcntl(read_fd, F_GETFD) >= 0) ::close(read_fd);
    }
    std::string variable() const { return std::to_string(read_fd); }
    bool still_open() const { return ::fcntl(read_fd, F_GETFD) >= 0; }
};

// Every refusal names the variable and never repeats the value or the text.
void expect_refused(const std::string& value, const std::string& why_part) {
    SCOPED_TRACE("value [" + value + "]");
    try {
        process::receive_handed_over(value);
        ADD_FAILURE() << "accepted";
    } catch (const process::HandOverError& refused) {
        const std::string message = refused.what();
        EXPECT_NE(message.find("TESSIM_DB_PASSWORD_FD"), std::string::npos) << message;
        EXPECT_NE(message.find(why_part), std::string::npos) << message;
        EXPECT_EQ(message.find("segredo"), std::string::npos) << message;
        // Values with letters could be a password typed into the wrong place.
        if (value.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos) {
            EXPECT_EQ(message.find(value), std::string::npos) << message;
        }
    }
}

TEST(HandOver, ReadsTheWholeTextAndClosesTheDescriptor) {
    for (const std::string& text :
         {std::string(), std::string("segredo"), std::string("com espaço;e'aspas\"\n"),
          std::string(9000, 'z')}) {
        SCOPED_TRACE(text.size());
        HandOverPipe pipe(text);
        EXPECT_EQ(process::receive_handed_over(pipe.variable()), text);
        EXPECT_FALSE(pipe.still_open());
    }
}

TEST(HandOver, RefusesAnythingButALaunchPipe) {
    for (const std::string value :
         {"", "abc", "3x", " 3", "-1", "0", "1", "2", "99999999999", "segredo"})
        expect_refused(value, "valor inválido");
    expect_refused("987", "não está aberto");

    const int file = ::open("/dev/null", O_RDONLY);
    const int high = ::fcntl(file, F_DUPFD, 10);
    ::close(file);
    expect_refused(std::to_string(high), "não é um pipe");
    EXPECT_LT(::fcntl(high, F_GETFD), 0) << "refused descriptor left open";

    // A writer still attached would make the run wait for ever: refused at once.
    HandOverPipe open_writer("segredo", true);
    expect_refused(open_writer.variable(), "aberto para escrita");
    EXPECT_FALSE(open_writer.still_open());

    HandOverPipe with_nul(std::string("seg\0redo", 8));
    expect_refused(with_nul.variable(), "byte nulo");
}

// The argument area is overwritten in place and the real text is handed back; with the
// variable set, the text comes from the pipe and the command line must hold the marker.
TEST(ConcealArgument, OverwritesTheArgumentAndGivesBackTheRealText) {
    char program[] = "prog", mode[] = "modo", secret[] = "segredo-real", last[] = "fim";
    char* argv[] = {program, mode, secret, last, nullptr};
    EXPECT_EQ(process::conceal_argument(4, argv, 2), "segredo-real");
    EXPECT_STREQ(argv[2], "xxxxxxxxxxxx");
    EXPECT_STREQ(argv[3], "fim");

    char marker[] = "********";
    char* launched[] = {program, mode, marker, last, nullptr};
    HandOverPipe pipe("segredo-do-pipe");
    ::setenv(process::HANDOVER_VARIABLE, pipe.variable().c_str(), 1);
    EXPECT_EQ(process::conceal_argument(4, launched, 2), "segredo-do-pipe");
    EXPECT_EQ(std::getenv(process::HANDOVER_VARIABLE), nullptr);
    EXPECT_FALSE(pipe.still_open());
    EXPECT_STREQ(launched[2], "xxxxxxxx");

    // Set by hand next to a real text on the command line: which one would be meant?
    char typed[] = "digitada";
    char* by_hand[] = {program, mode, typed, last, nullptr};
    HandOverPipe other("segredo-do-pipe");
    ::setenv(process::HANDOVER_VARIABLE, other.variable().c_str(), 1);
    EXPECT_THROW(process::conceal_argument(4, by_hand, 2), process::HandOverError);
    EXPECT_EQ(std::getenv(process::HANDOVER_VARIABLE), nullptr);
    EXPECT_THROW(process::conceal_argument(4, by_hand, 4), std::out_of_range);
}

}  // namespace
