// The entry's end when the run-time limit passes, with a one-second limit.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/app/run_program.hpp"

namespace {

using tessim::testing::run_program;
using tessim::testing::RunOptions;

const std::string PROBE = TIMEOUT_PROBE_PATH;
const std::string TIMEOUT_LINE = "Tempo limite de execução excedido (1 s).\n";

TEST(EntryTimeout, BlockedDispatchEndsWithTheLimitLineAndStatusZero) {
    const auto run = run_program(PROBE, {PROBE, "bloqueio"});
    EXPECT_EQ(run.out, "linha antes do limite\n" + TIMEOUT_LINE);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(run.took.count(), 950);
    EXPECT_LT(run.took.count(), 3000);
}

// The dispatch is writing the whole time: every line it wrote comes out whole and in order,
// and the limit line is the last one.
TEST(EntryTimeout, LimitLineComesAfterEveryLineOfARunningDispatch) {
    const auto run = run_program(PROBE, {PROBE, "enxurrada"});
    EXPECT_EQ(run.status, 0);
    ASSERT_GT(run.out.size(), TIMEOUT_LINE.size());
    ASSERT_EQ(run.out.substr(run.out.size() - TIMEOUT_LINE.size()), TIMEOUT_LINE);

    std::istringstream lines(run.out.substr(0, run.out.size() - TIMEOUT_LINE.size()));
    std::string line;
    long expected = 0;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line, "linha " + std::to_string(expected)) << "torn or lost line";
        ++expected;
    }
    EXPECT_GT(expected, 10);
}

TEST(EntryTimeout, UnflushableLimitLineGivesStatusTwo) {
    RunOptions options;
    options.stdout_path = "/dev/full";
    const auto run = run_program(PROBE, {PROBE, "bloqueio"}, options);
    EXPECT_EQ(run.status, 2);
}

TEST(Palette, ReachesAPipeByteForByte) {
    const auto run = run_program(PROBE, {PROBE, "cores"});
    EXPECT_EQ(run.out,
              "\x1b[1;31mcor\x1b[0;0m\n"
              "\x1b[1;34mcor\x1b[0;0m\n"
              "\x1b[1;36mcor\x1b[0;0m\n"
              "\x1b[0;32mcor\x1b[0;0m\n"
              "\x1b[0;0mcor\x1b[0;0m\n"
              "\x1b[;1mcor\x1b[0;0m\n"
              "\x1b[;7mcor\x1b[0;0m\n"
              "\x1b[0;93mcor\x1b[0;0m\n");
    EXPECT_EQ(run.status, 0);
}

}  // namespace
