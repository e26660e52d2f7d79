#include "app/gui/DesktopProgram.h"

#include "app/ProgramFolders.h"
#include "app/gui/MainWindow.h"
#include "app/gui/ToolIcons.h"
#include "pipeline/VideoTables.h"

#include <QApplication>
#include <QMessageBox>

namespace moxel::gui {

int runDesktopProgram(int& argc, char** argv, const std::string& programFile)
{
    initVideoTables();

    QApplication application(argc, argv);
    QApplication::setApplicationName("moxel");
    QApplication::setApplicationDisplayName("Moxel");
    QApplication::setDesktopFileName("moxel");
    QApplication::setWindowIcon(toolIcon(ToolIcon::Program));
    application.setQuitOnLastWindowClosed(false);

    std::string error;
    const bool ready = programFile.empty() ? initialiseSettings(&error)
                                           : initialiseSettings(programFile, &error);
    if (!ready) {
        QMessageBox::critical(nullptr, "Moxel", QString::fromStdString(error));
        return 1;
    }

    int code = 0;
    {
        MainWindow window;
        QObject::connect(&window, &MainWindow::closed, &application, [] { QApplication::exit(0); });
        window.show();
        code = QApplication::exec();
    }
    releaseSettings();
    return code;
}

} // namespace moxel::gui
