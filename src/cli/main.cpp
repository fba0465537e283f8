// etalon-cli: the workbench's core without a window, for batch work and scripts.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <new>

#include "cli/commands.h"
#include "cli/task_options.h"

int main(int argc, char** argv) {
    // Nothing ends the program uncaught: bad input exits 2, anything else 1.
    try {
        return etalon::cli::run(argc, argv, std::cout, std::cerr);
    } catch (const etalon::cli::BadInput& bad) {
        std::cerr << "etalon-cli: " << bad.text << '\n';
        return etalon::cli::kExitBadInput;
    } catch (const std::bad_alloc&) {
        std::cerr << "etalon-cli: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "etalon-cli: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "etalon-cli: stopped on an unknown error\n";
    }
    return etalon::cli::kExitCoreFailed;
}
