#include "store/printed_form.hpp"

#include <utf8proc.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace tessim {
namespace {

using Json = nlohmann::ordered_json;

bool is_printable(utf8proc_int32_t cp) {
    if (cp == ' ') return true;
    switch (utf8proc_category(cp)) {
        case UTF8PROC_CATEGORY_CC:
        case UTF8PROC_CATEGORY_CF:
        case UTF8PROC_CATEGORY_CS:
        case UTF8PROC_CATEGORY_CO:
        case UTF8PROC_CATEGORY_CN:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP:
        case UTF8PROC_CATEGORY_ZS:
            return false;
        default:
            return true;
    }
}

void append_escape(std::string& out, utf8proc_int32_t cp) {
    char buf[16];
    if (cp <= 0xFF)
        std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(cp));
    else if (cp <= 0xFFFF)
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
    else
        std::snprintf(buf, sizeof buf, "\\U%08x", static_cast<unsigned>(cp));
    out += buf;
}

std::string printed_integer(const Json& value) {
    return value.is_number_unsigned() ? std::to_string(value.get<std::uint64_t>())
                                      : std::to_string(value.get<std::int64_t>());
}

std::string printed_scalar(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "None";
        case Json::value_t::boolean:
            return value.get<bool>() ? "True" : "False";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return printed_integer(value);
        case Json::value_t::number_float:
            return printed_float(value.get<double>());
        case Json::value_t::string:
            return printed_text(value.get_ref<const std::string&>());
        default:
            // Binary values and the parser's "discarded" are never in a parsed answer.
            throw std::logic_error("resposta com valor de tipo não imprimível: " +
                                   std::string(value.type_name()));
    }
}

// One open container while printing: answers come from the network and may nest deeper
// than a recursive printer's stack would allow, so the walk keeps its own stack.
struct Frame {
    const Json* container;
    Json::const_iterator next;
    bool first = true;
};

void open_container(std::string& out, std::vector<Frame>& stack, const Json& value) {
    out.push_back(value.is_object() ? '{' : '[');
    stack.push_back(Frame{&value, value.cbegin()});
}

}  // namespace

std::string printed_text(const std::string& utf8) {
    bool has_single = false;
    bool has_double = false;
    for (char c : utf8) {
        has_single = has_single || c == '\'';
        has_double = has_double || c == '"';
    }
    const char quote = (has_single && !has_double) ? '"' : '\'';

    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back(quote);
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(utf8.data());
    utf8proc_ssize_t pos = 0;
    const auto size = static_cast<utf8proc_ssize_t>(utf8.size());
    while (pos < size) {
        utf8proc_int32_t cp = 0;
        utf8proc_ssize_t len = utf8proc_iterate(bytes + pos, size - pos, &cp);
        if (len <= 0) {
            // A byte that is not UTF-8 (a database text may hold one) shows as itself.
            append_escape(out, bytes[pos]);
            len = 1;
        } else if (cp == quote || cp == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp < ' ' || cp == 0x7F) {
            append_escape(out, cp);
        } else if (cp < 0x7F || is_printable(cp)) {
            out.append(utf8, static_cast<std::size_t>(pos), static_cast<std::size_t>(len));
        } else {
            append_escape(out, cp);
        }
        pos += len;
    }
    out.push_back(quote);
    return out;
}

std::string printed_float(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

    // Shortest round-trip digits, then laid out by hand: positional between 1e-4 and 1e16,
    // exponent form outside that range.
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view sci(buf, static_cast<std::size_t>(result.ptr - buf));
    const std::size_t e = sci.find('e');
    std::string_view mantissa = sci.substr(0, e);
    const int exponent = std::stoi(std::string(sci.substr(e + 1)));

    std::string out;
    if (!mantissa.empty() && mantissa.front() == '-') {
        out.push_back('-');
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (char c : mantissa)
        if (c != '.') digits.push_back(c);
    const int point = exponent + 1;  // digits before the decimal point
    const int ndigits = static_cast<int>(digits.size());

    if (point > -4 && point <= 16) {
        if (point <= 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-point), '0');
            out += digits;
        } else if (point >= ndigits) {
            out += digits;
            out.append(static_cast<std::size_t>(point - ndigits), '0');
            out += ".0";
        } else {
            out.append(digits, 0, static_cast<std::size_t>(point));
            out.push_back('.');
            out.append(digits, static_cast<std::size_t>(point));
        }
        return out;
    }
    out.push_back(digits[0]);
    if (ndigits > 1) {
        out.push_back('.');
        out.append(digits, 1);
    }
    char exp_buf[16];
    std::snprintf(exp_buf, sizeof exp_buf, "e%c%02d", exponent < 0 ? '-' : '+',
                  exponent < 0 ? -exponent : exponent);
    out += exp_buf;
    return out;
}

std::string printed_form(const nlohmann::ordered_json& answer) {
    if (!answer.is_object() && !answer.is_array()) return printed_scalar(answer);

    std::string out;
    std::vector<Frame> stack;
    open_container(out, stack, answer);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.container->cend()) {
            out.push_back(top.container->is_object() ? '}' : ']');
            stack.pop_back();
            continue;
        }
        if (!top.first) out += ", ";
        top.first = false;
        const auto item = top.next++;
        if (top.container->is_object()) {
            out += printed_text(item.key());
            out += ": ";
        }
        const Json& value = item.value();
        // `top` may dangle once the stack grows; it is not used past this point.
        if (value.is_object() || value.is_array())
            open_container(out, stack, value);
        else
            out += printed_scalar(value);
    }
    return out;
}

std::string printed_form(const std::optional<nlohmann::ordered_json>& answer) {
    return answer ? printed_form(*answer) : std::string("None");
}

}  // namespace tessim
