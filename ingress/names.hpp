#pragma once
// Validated views handed to the sender: table names and column names.
//
// Validation happens once, when the view is made, so that a row built from names made in
// advance costs no further checks. The views do not own their bytes: the viewed text must
// outlive the view (string literals and long-lived strings are the usual sources).

#include <cstddef>
#include <string>
#include <string_view>

namespace ingress {

// Longest name in UTF-8 bytes. QuestDB's own limit (127) counts characters; counting bytes
// is stricter and keeps every name we accept inside QuestDB's file-name limit.
inline constexpr std::size_t max_name_len = 127;

// A printable, bounded rendering of arbitrary bytes for error messages: control bytes and
// bytes of ill-formed UTF-8 become \xNN, the text is cut after 64 bytes.
std::string printable(std::string_view bytes);

enum class ViewRule {
    // A name QuestDB would take for a table: not empty, at most max_name_len bytes, UTF-8,
    // no leading or trailing space, no control character, no U+FEFF, none of
    // . ? , ' " \ / : ( ) + * % ~
    table,
    // As a table, and no '-' either (QuestDB reads it as an operator in SQL).
    column,
};

// Throws IngressError(invalid_name, or invalid_utf8 for ill-formed UTF-8) for a name the
// rule refuses.
void check_view(ViewRule rule, std::string_view text);

template <ViewRule Rule>
class ValidatedView {
  public:
    ValidatedView(std::string_view text) : text_(text) { check_view(Rule, text); }
    ValidatedView(const char* text) : ValidatedView(std::string_view(text)) {}
    ValidatedView(const std::string& text) : ValidatedView(std::string_view(text)) {}
    ValidatedView(std::nullptr_t) = delete;
    ValidatedView(std::string&&) = delete;  // would dangle at the end of the full expression

    std::string_view view() const noexcept { return text_; }

  private:
    std::string_view text_;
};

using TableName = ValidatedView<ViewRule::table>;
using ColumnName = ValidatedView<ViewRule::column>;

}  // namespace ingress
