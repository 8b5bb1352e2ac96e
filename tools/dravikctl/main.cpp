#include "dravikctl/dravikctl.h"

#include <QCoreApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The exchanges need an application object for their sockets and serial ports; no
    // event loop of its own runs.
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return dravik::ctl::Main(args, std::cout, std::cerr);
}
