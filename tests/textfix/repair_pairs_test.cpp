// Broken texts as real systems produced them, and what they must come back as.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/textfix/test_support.hpp"
#include "textfix/fix_text.hpp"
#include "textfix/lenient_utf8.hpp"

namespace {

struct Pair {
    std::string broken;
    std::string clean;
    std::string damage;
    int line;
};

// Undoes the file's escapes: "\u{XXXX}" for a character, "\\" for a backslash.
std::string unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 1 < field.size() && field[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (field.compare(i, 3, "\\u{") == 0) {
            const std::size_t close = field.find('}', i);
            const auto cp =
                static_cast<char32_t>(std::stoul(field.substr(i + 3, close - i - 3), nullptr, 16));
            textfix::detail::append_utf8(out, cp);
            i = close;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::vector<Pair> load_pairs() {
    std::ifstream in(TEXTFIX_DATA_DIR "/repair_pairs.tsv");
    std::vector<Pair> pairs;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        const std::size_t t1 = line.find('\t');
        const std::size_t t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos) {
            ADD_FAILURE() << "malformed line " << number << ": " << line;
            continue;
        }
        pairs.push_back({unescape(line.substr(0, t1)), unescape(line.substr(t1 + 1, t2 - t1 - 1)),
                         line.substr(t2 + 1), number});
    }
    return pairs;
}

const std::vector<Pair>& pairs() {
    static const std::vector<Pair> loaded = load_pairs();
    return loaded;
}

TEST(TextfixRepairPairs, TableIsLargeAndCoversEveryKindOfDamage) {
    ASSERT_GE(pairs().size(), 100u);
    for (const char* kind : {"w1", "w2", "w3", "l1", "lw", "c1", "mixed"}) {
        bool seen = false;
        for (const Pair& p : pairs()) seen = seen || p.damage == kind;
        EXPECT_TRUE(seen) << "no pair of kind " << kind;
    }
}

TEST(TextfixRepairPairs, BrokenTextComesBackClean) {
    for (const Pair& p : pairs()) {
        EXPECT_EQ(textfix::fix_text(p.broken), p.clean)
            << "line " << p.line << " (" << p.damage << "): " << p.broken;
    }
}

TEST(TextfixRepairPairs, FixIntoReportsTheChange) {
    for (const Pair& p : pairs()) {
        std::string out = "previous";
        ASSERT_TRUE(textfix::fix_text_into(p.broken, out)) << "line " << p.line;
        EXPECT_EQ(out, p.clean) << "line " << p.line;
    }
}

TEST(TextfixRepairPairs, CleanSideIsLeftAlone) {
    for (const Pair& p : pairs()) {
        std::string out = "untouched";
        EXPECT_FALSE(textfix::fix_text_into(p.clean, out)) << "line " << p.line << ": " << p.clean;
        EXPECT_EQ(out, "untouched");
    }
}

TEST(TextfixRepairPairs, RepairIsIdempotentAndYieldsValidNfc) {
    for (const Pair& p : pairs()) {
        const std::string once = textfix::fix_text(p.broken);
        EXPECT_EQ(textfix::fix_text(once), once) << "line " << p.line;
        EXPECT_TRUE(textfix_test::is_valid_utf8(once)) << "line " << p.line;
        EXPECT_TRUE(textfix_test::is_nfc(once)) << "line " << p.line;
    }
}

}  // namespace
