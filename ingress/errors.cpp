#include "ingress/errors.hpp"

#include "ingress/names.hpp"

namespace ingress {

IngressError column_error(ErrorCode code, std::string_view table, std::string_view column,
                          const std::string& why) {
    return IngressError(
        code, "table \"" + printable(table) + "\", column \"" + printable(column) + "\": " + why);
}

IngressError table_error(ErrorCode code, std::string_view table, const std::string& why) {
    return IngressError(code, "table \"" + printable(table) + "\": " + why);
}

}  // namespace ingress
