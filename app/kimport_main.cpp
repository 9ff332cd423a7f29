// kimport: the headless side of the program, for scripts and tests.
#include "common/Text.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    "Aufruf: kimport BEFEHL [ARGUMENTE]\n"
    "\n"
    "Befehle:\n"
    "  --version            Produktnamen und Version ausgeben\n"
    "  --help               diese Hilfe ausgeben\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg, 1 bei einem Fehler, 2 bei falschen Argumenten.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kHelp;
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--version" || command == "-V") {
        std::cout << KIMPORT_VERSION_TEXT << "\n";
        return 0;
    }
    if (command == "--help" || command == "-h") {
        std::cout << kHelp;
        return 0;
    }
    std::cerr << "kimport: unbekannter Befehl \"" << command << "\"\n\n" << kHelp;
    return 2;
}
