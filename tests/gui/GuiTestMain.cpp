// One application object for every widget test, on the offscreen platform
// unless another is asked for.
#include "pipeline/VideoTables.h"

#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
// Qt is not built for ThreadSanitizer: the threads of its file dialog and
// thread pool hand over through Qt's own locks, which the sanitizer cannot
// see, so what Qt's libraries allocate, copy and free is left out. The
// program's own code stays checked; it shares nothing with other threads
// through Qt.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "race:QWaitCondition\n";
}
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    moxel::initVideoTables();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
