// Start-up of the tool: builds the real services, runs the main dialog modally.
#pragma once

namespace dravik::app {

class ToolApp {
public:
    // Runs the tool; returns the process exit code.
    static int Run(int argc, char** argv);
};

}  // namespace dravik::app
