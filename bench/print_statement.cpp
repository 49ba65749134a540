// Prints the customer statement exactly as the collector sends it, so that the fetch floor
// of bench/run makes the mariadb client execute the very same text.
#include <cstdio>

#include "source/customer_statement.hpp"

int main() {
    const auto& s = tessim::kCustomerStatement;
    return std::fwrite(s.data(), 1, s.size(), stdout) == s.size() ? 0 : 1;
}
