// tovani-pn532-sim FOLDER: a simulated PN532 serving the card-image folder
// FOLDER on a pseudo-terminal. Prints the libnfc connection string on its
// first line and runs until its standard input closes.

#include <unistd.h>

#include <iostream>

#include "pn532_simulator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tovani-pn532-sim FOLDER" << std::endl;
        return 2;
    }
    tovani::test::pn532::Simulator sim(argv[1]);
    std::string why;
    if (!sim.start(why)) {
        std::cerr << "tovani-pn532-sim: " << why << std::endl;
        return 1;
    }
    std::cout << sim.connectionString() << std::endl;
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    sim.stop();
    return 0;
}
