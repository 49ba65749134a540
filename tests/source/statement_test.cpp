#include "source/customer_statement.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "core/fields.hpp"

namespace tessim {
namespace {

// The statement must go out byte for byte as agreed with the database team; a formatter
// or an editor that strips trailing blanks would change it.
TEST(CustomerStatement, KeepsItsOwnLayout) {
    EXPECT_EQ(kCustomerStatement.size(), 2352u);
    EXPECT_TRUE(kCustomerStatement.starts_with("\n    WITH contratos_sem_confirmacao AS (\n"));
    EXPECT_TRUE(kCustomerStatement.ends_with("cc.origem_id = chi.id;\n    "));
    EXPECT_EQ(std::count(kCustomerStatement.begin(), kCustomerStatement.end(), '\n'), 62);
    EXPECT_NE(kCustomerStatement.find("ip.nome AS nomePlano,            \n"), std::string::npos);
    EXPECT_NE(kCustomerStatement.find("\n     LEFT JOIN rescisao_motivos rm on"),
              std::string::npos);
}

// The record is filled by position, so the select list must name the field table's aliases
// in record order: each item's name is its alias, or the column itself when it has none.
TEST(CustomerStatement, SelectListAgreesWithTheFieldTable) {
    const std::string_view text = kCustomerStatement;
    const std::string_view select = "\n    )\n    SELECT \n";
    const std::size_t begin = text.find(select);
    const std::size_t end = text.find("\n    FROM \n", begin);
    ASSERT_NE(begin, std::string_view::npos);
    ASSERT_NE(end, std::string_view::npos);
    const std::size_t first = begin + select.size();
    std::istringstream items{std::string(text.substr(first, end - first))};
    std::vector<std::string> names;
    for (std::string item; std::getline(items, item);) {
        item.erase(item.find_last_not_of(' ') + 1);
        if (!item.empty() && item.back() == ',') item.pop_back();
        names.push_back(item.substr(item.find_last_of(" .") + 1));
    }
    std::vector<std::string> aliases;
    for (const Field& field : kFields) aliases.emplace_back(field.alias);
    EXPECT_EQ(names, aliases);
}

}  // namespace
}  // namespace tessim
