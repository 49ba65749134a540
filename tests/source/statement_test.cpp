#include "source/customer_statement.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "core/fields.hpp"

namespace tessim {
namespace {

constexpr std::string_view kSelect = "\n    )\n    SELECT \n";
constexpr std::string_view kFrom = "\n    FROM \n";

// The select list: the text between SELECT and FROM, one item a line.
std::string_view select_list(std::string_view statement) {
    const std::size_t begin = statement.find(kSelect);
    const std::size_t end = statement.find(kFrom, begin);
    if (begin == std::string_view::npos || end == std::string_view::npos) return {};
    return statement.substr(begin + kSelect.size(), end - begin - kSelect.size());
}

// The statement must go out byte for byte as agreed with the database team; a formatter
// or an editor that strips trailing blanks would change it. All but the select list is a
// fixed frame, so its size does not move when a field is added.
TEST(CustomerStatement, KeepsItsOwnLayout) {
    const std::string_view items = select_list(kCustomerStatement);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(kCustomerStatement.size() - items.size(), 1089u);
    EXPECT_EQ(std::count(items.begin(), items.end(), '\n') + 1, std::ptrdiff_t{kFieldCount});
    EXPECT_TRUE(kCustomerStatement.starts_with("\n    WITH contratos_sem_confirmacao AS (\n"));
    EXPECT_TRUE(kCustomerStatement.ends_with("cc.origem_id = chi.id;\n    "));
    EXPECT_EQ(std::count(kCustomerStatement.begin(), kCustomerStatement.end(), '\n') -
                  std::count(items.begin(), items.end(), '\n'),
              32);
    EXPECT_NE(kCustomerStatement.find("ip.nome AS nomePlano,            \n"), std::string::npos);
    EXPECT_NE(kCustomerStatement.find("\n     LEFT JOIN rescisao_motivos rm on"),
              std::string::npos);
}

// The record is filled by position, so the select list must name the field table's aliases
// in record order: each item's name is its alias, or the column itself when it has none.
TEST(CustomerStatement, SelectListAgreesWithTheFieldTable) {
    std::istringstream items{std::string(select_list(kCustomerStatement))};
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
