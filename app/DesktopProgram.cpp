#include "app/DesktopProgram.h"

#include "app/MainWindow.h"
#include "app/ProfileManagerDialog.h"
#include "app/ProfileManagerHook.h"
#include "app/ScreenshotTour.h"
#include "app/ToolIcons.h"
#include "jobs/JobWorker.h"
#include "pipeline/VideoTables.h"
#include "settings/ProgramFolders.h"
#include "sources/LibraryLog.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace moxel::gui {

int runDesktopProgram(int& argc, char** argv)
{
    setLibraryLogLevel();
    initVideoTables();
    // A job's messages stay in the message window, so nothing is gained by
    // holding the next job back for them to be read.
    setOpenFailurePauseMs(0);

    QApplication application(argc, argv);
    nameApplication();
    return runMainWindow();
}

void nameApplication()
{
    QApplication::setApplicationName("moxel");
    QApplication::setDesktopFileName("moxel");
    QApplication::setWindowIcon(toolIcon(ToolIcon::Program));
}

int runMainWindow(const std::string& programFile)
{
    std::string error;
    const bool ready =
        programFile.empty() ? initialiseSettings(&error) : initialiseSettings(programFile, &error);
    if (!ready) {
        QMessageBox::critical(nullptr, "Moxel", QString::fromStdString(error));
        return 1;
    }

    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    setProfileManagerOpener(&openProfileManagerDialog);
    int code = 0;
    {
        MainWindow window;
        QObject::connect(&window, &MainWindow::closed, qApp, [] { QApplication::exit(0); });
        window.show();
        const QString tourFolder = qEnvironmentVariable("MOXEL_SCREENSHOTS");
        if (!tourFolder.isEmpty())
            startScreenshotTour(window, tourFolder);
        code = QApplication::exec();
        if (window.workersStillRunning()) {
            // A worker that did not stop within the wait still reads the
            // settings and writes into its job: write the files and end here,
            // without tearing down what the worker uses.
            programFolders().settings->flush();
            programFolders().profileIndexFile->flush();
            std::fflush(nullptr);
            std::_Exit(code);
        }
    }
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    releaseSettings();
    return code;
}

} // namespace moxel::gui
