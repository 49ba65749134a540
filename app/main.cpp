#include "app/entry.hpp"

int main(int argc, char** argv) {
    return tessim::run_entry(argc, argv);
}
