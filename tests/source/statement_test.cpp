#include "source/customer_statement.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace tessim {
namespace {

std::uint64_t fnv1a(std::string_view s) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

// The statement must go out byte for byte as agreed with the database team; a formatter
// or an editor that strips trailing blanks would change it. Length and FNV-1a were taken
// from the agreed text (SHA-256 796cbcb1...0580a0).
TEST(CustomerStatement, IsTheAgreedTextByteForByte) {
    EXPECT_EQ(kCustomerStatement.size(), 2352u);
    EXPECT_EQ(fnv1a(kCustomerStatement), 0x73defdc75908519eull);
    EXPECT_TRUE(kCustomerStatement.starts_with("\n    WITH contratos_sem_confirmacao AS (\n"));
    EXPECT_TRUE(kCustomerStatement.ends_with("cc.origem_id = chi.id;\n    "));
    EXPECT_EQ(std::count(kCustomerStatement.begin(), kCustomerStatement.end(), '\n'), 62);
    EXPECT_NE(kCustomerStatement.find("ip.nome AS nomePlano,            \n"), std::string::npos);
    EXPECT_NE(kCustomerStatement.find("\n     LEFT JOIN rescisao_motivos rm on"),
              std::string::npos);
}

}  // namespace
}  // namespace tessim
