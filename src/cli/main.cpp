// etalon-cli: the workbench's core without a window, for batch work and scripts.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/commands.h"

int main(int argc, char** argv) {
    return etalon::cli::run(argc, argv, std::cout, std::cerr);
}
