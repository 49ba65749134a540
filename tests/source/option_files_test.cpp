// The password from MySQL option files: the syntax as the mysql client reads it, the order
// of files, and failures that name the file but never show the password.
#include "source/option_files.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/failure.hpp"
#include "tests/source/option_files_dir.hpp"

namespace tessim {
namespace {

using testing::OptionFilesDir;

TEST(OptionFiles, ReadsThePasswordAsTheMysqlClientDoes) {
    OptionFilesDir dir;
    struct Case {
        const char* text;
        std::optional<std::string> password;
    };
    const Case cases[] = {
        {"[client]\npassword=plain\n", "plain"},
        {"# c\n; c\n  [Client] # c\n  PassWord  =  spaced out  \r\n", "spaced out"},
        {"[client]\npassword = \"a b # c\" # comment\n", "a b # c"},
        {"[client]\npassword = 'x'y'\n", "x'y"},
        {"[client]\npassword = abc#def\n", "abc"},
        {"[client]\npassword=\"a\\\"b\"\n", "a\"b"},
        {"[client]\npassword=a\\tb\\sc\\\\d\\qe\\\n", "a\tb c\\d\\qe\\"},
        {"[client-server]\npassword=cs\n[client-mariadb]\npassword=cm\n", "cm"},
        {"[tessim_clientes]\npassword=own\n[client]\npassword=later\n", "later"},
        {"[client]\npassword=old\npassword=\n", ""},
        // Not ours: other programs' groups, a name that only looks alike, a prompt request.
        {"[mysqld]\npassword=a\n[mysql]\npassword=b\n[tessim-clientes]\npassword=c\n", {}},
        {"[client]\npass=a\npassword_x=b\npassword\n", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const std::string file = dir.write("case.cnf", c.text);
        const auto found = read_option_files({file}, false).password;
        ASSERT_EQ(found.has_value(), c.password.has_value()) << c.text;
        if (found) {
            EXPECT_EQ(found->password, *c.password) << c.text;
            EXPECT_EQ(found->file, file);
        }
    }
}

TEST(OptionFiles, LaterFilesAndIncludesWinInReadingOrder) {
    OptionFilesDir dir;
    std::filesystem::create_directories(dir.path() / "conf.d");
    dir.write("conf.d/b.cnf", "[client]\npassword=from-b\n");
    const std::string a = dir.write("conf.d/a.cnf", "[client]\npassword=from-a\n");
    dir.write("conf.d/c.ini", "[client]\npassword=not-cnf\n");
    const std::string system = dir.write(
        "system.cnf", "[client]\npassword=system\n!includedir " + (dir.path() / "conf.d").string() +
                          "\n!include " + (dir.path() / "missing.cnf").string() + "\n");
    const std::string own = dir.write("own.cnf", "[tessim_clientes]\npassword=own\n");
    const std::string home = dir.write("home.cnf", "[mysqld]\npassword=server\n");
    const std::string missing = (dir.path() / "nowhere.cnf").string();

    auto found = read_option_files({system, missing, own, home}, false).password;
    ASSERT_TRUE(found);
    EXPECT_EQ(found->password, "own");
    EXPECT_EQ(found->file, own);

    // Without the own file, the included folder gave the last one, in name order.
    found = read_option_files({system, home}, false).password;
    ASSERT_TRUE(found);
    EXPECT_EQ(found->password, "from-b");

    // The include at its place: what follows it in the including file wins.
    const std::string around =
        dir.write("around.cnf", "[client]\n!include " + a + "\npassword=after\n");
    EXPECT_EQ(read_option_files({around}, false).password->password, "after");
}

TEST(OptionFiles, AFileThatCannotBeUsedIsNamedAndThePasswordIsNot) {
    OptionFilesDir dir;
    const std::string secret = "Zq9-senha-secreta-7731";
    std::filesystem::create_directories(dir.path() / "folder.cnf");
    const std::string world = dir.write("world.cnf", "[client]\npassword=" + secret + "\n");
    ::chmod(world.c_str(), 0666);
    const std::string self = (dir.path() / "self.cnf").string();
    dir.write("self.cnf", "[client]\npassword=" + secret + "\n!include " + self + "\n");
    const std::string cases[] = {
        (dir.path() / "folder.cnf").string(),
        world,
        dir.write("nogroup.cnf", "password=" + secret + "\n"),
        dir.write("badgroup.cnf", "[client\npassword=" + secret + "\n"),
        dir.write("nodir.cnf", "[client]\npassword=" + secret + "\n!includedir " +
                                   (dir.path() / "absent").string() + "\n"),
        self,
    };
    for (const std::string& file : cases) {
        try {
            read_option_files({file}, false).password;
            ADD_FAILURE() << file << ": accepted";
        } catch (const DatabaseFailure& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(file), std::string::npos) << message;
            EXPECT_EQ(message.find(secret), std::string::npos) << message;
        }
    }
}

}  // namespace
}  // namespace tessim
