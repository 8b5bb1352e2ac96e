#include "app/tool_app.h"

int main(int argc, char** argv) { return dravik::app::ToolApp::Run(argc, argv); }
