#include "app/tool_app.h"

#include "app/main_dialog.h"
#include "app/message_feedback.h"
#include "discovery/backends.h"
#include "targets/local_address.h"

#include <QApplication>

namespace dravik::app {

int ToolApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("dravik-command-tool"));
    QApplication::setApplicationDisplayName(QStringLiteral("Dravik Command Tool"));
    QApplication::setApplicationVersion(QStringLiteral("1.3.33"));
    // Linux needs no socket start-up, so there is no "Windows sockets initialization
    // failed." path here.

    MessageFeedback feedback;
    targets::SystemAddressLookup localAddress;
    pages::PageEnvironment env;
    env.feedback = &feedback;
    env.localAddress = &localAddress;
    // Probes go out only when the operator presses "IP Scan".
    env.scanBackends = &discovery::SystemScanBackends;

    MainDialog dialog(env);
    feedback.setParentWidget(&dialog);
    dialog.exec();
    return 0;
}

}  // namespace dravik::app
