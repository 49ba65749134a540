#pragma once
// Validated views handed to the sender: UTF-8 text, table names and column names.
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

class Utf8View {
  public:
    // Throws IngressError(invalid_utf8) when `text` is not well-formed UTF-8.
    Utf8View(std::string_view text);
    Utf8View(const char* text) : Utf8View(std::string_view(text)) {}
    Utf8View(const std::string& text) : Utf8View(std::string_view(text)) {}
    Utf8View(std::nullptr_t) = delete;
    Utf8View(std::string&&) = delete;  // would dangle at the end of the full expression

    std::string_view view() const noexcept { return text_; }

  private:
    std::string_view text_;
};

class TableName {
  public:
    // Throws IngressError(invalid_name or invalid_utf8) for a name QuestDB would refuse:
    // empty, longer than max_name_len bytes, leading/trailing space, control characters,
    // U+FEFF, or any of  . ? , ' " \ / : ( ) + * % ~
    TableName(std::string_view name);
    TableName(const char* name) : TableName(std::string_view(name)) {}
    TableName(const std::string& name) : TableName(std::string_view(name)) {}
    TableName(std::nullptr_t) = delete;
    TableName(std::string&&) = delete;

    std::string_view view() const noexcept { return name_; }
    // Holds a space or '=', which the line protocol needs escaped.
    bool needs_escape() const noexcept { return needs_escape_; }

  private:
    std::string_view name_;
    bool needs_escape_ = false;
};

class ColumnName {
  public:
    // As TableName, and '-' is refused as well (QuestDB reads it as an operator in SQL).
    ColumnName(std::string_view name);
    ColumnName(const char* name) : ColumnName(std::string_view(name)) {}
    ColumnName(const std::string& name) : ColumnName(std::string_view(name)) {}
    ColumnName(std::nullptr_t) = delete;
    ColumnName(std::string&&) = delete;

    std::string_view view() const noexcept { return name_; }
    // Holds a space or '=', which the line protocol needs escaped.
    bool needs_escape() const noexcept { return needs_escape_; }

  private:
    std::string_view name_;
    bool needs_escape_ = false;
};

}  // namespace ingress
