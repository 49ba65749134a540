// The pure parts of the entry: command line, version line, palette bytes, the stand-in for
// the discovery run.

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/command_line.hpp"
#include "app/modes.hpp"
#include "app/version.hpp"
#include "core/failure.hpp"
#include "core/palette.hpp"

namespace {

using tessim::RunConfig;

std::optional<RunConfig> read(std::vector<std::string> argv) {
    return tessim::read_command_line(std::move(argv));
}

TEST(CommandLine, OneArgumentSetsTheModeOnly) {
    const auto config = read({"p", "descobertaClientes"});
    ASSERT_TRUE(config);
    EXPECT_EQ(config->mode.get(), "descobertaClientes");
    for (const auto* field :
         {&config->db_host, &config->db_port, &config->db_user, &config->db_password,
          &config->database, &config->quest_db_ip, &config->quest_db_port, &config->zabbix_host}) {
        SCOPED_TRACE(field->name());
        EXPECT_FALSE(field->is_set());
        EXPECT_THROW(field->get(), tessim::UnsetField);
    }
}

TEST(CommandLine, NineArgumentsFillEveryFieldInOrderUnchanged) {
    const auto config = read({"p", "m", " h ", "3306", "", "p\xffw", "db", "q", "9009", "debug"});
    ASSERT_TRUE(config);
    EXPECT_EQ(config->mode.get(), "m");
    EXPECT_EQ(config->db_host.get(), " h ");
    EXPECT_EQ(config->db_port.get(), "3306");
    EXPECT_EQ(config->db_user.get(), "");  // set, and empty
    EXPECT_EQ(config->db_password.get(), "p\xffw");
    EXPECT_EQ(config->database.get(), "db");
    EXPECT_EQ(config->quest_db_ip.get(), "q");
    EXPECT_EQ(config->quest_db_port.get(), "9009");
    EXPECT_EQ(config->zabbix_host.get(), "debug");
    EXPECT_EQ(config->command_line.at(5), "p\xffw");
}

TEST(CommandLine, EveryOtherCountIsRefused) {
    std::vector<std::string> argv;
    for (int count = 0; count <= 12; ++count) {
        SCOPED_TRACE(count);
        EXPECT_EQ(read(argv).has_value(), count == 2 || count == 10);
        argv.push_back("x");
    }
}

TEST(VersionLine, ReplacesEveryDotSlashWithOneSpace) {
    const std::pair<std::string, std::string> cases[] = {
        {"./tessim_clientes", " tessim_clientes  1.0.8"},
        {"../tessim_clientes", ". tessim_clientes  1.0.8"},
        {"../../bin/t", ". . bin/t  1.0.8"},
        {".././t", ".  t  1.0.8"},
        {"/usr/lib/zabbix/externalscripts/tessim_clientes",
         "/usr/lib/zabbix/externalscripts/tessim_clientes  1.0.8"},
        {"a/./b/.", "a/ b/.  1.0.8"},
        {"", "  1.0.8"},
    };
    for (const auto& [name, line] : cases) EXPECT_EQ(tessim::version_line(name), line) << name;
}

TEST(Palette, BytesAreExactlyTheSequences) {
    EXPECT_EQ(tessim::RED, "\x1b[1;31m");
    EXPECT_EQ(tessim::BLUE, "\x1b[1;34m");
    EXPECT_EQ(tessim::CYAN, "\x1b[1;36m");
    EXPECT_EQ(tessim::GREEN, "\x1b[0;32m");
    EXPECT_EQ(tessim::RESET, "\x1b[0;0m");
    EXPECT_EQ(tessim::BOLD, "\x1b[;1m");
    EXPECT_EQ(tessim::REVERSE, "\x1b[;7m");
    EXPECT_EQ(tessim::YELLOW, "\x1b[0;93m");
}

}  // namespace
