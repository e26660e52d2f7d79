// The profile manager tests run on the offscreen platform inside one
// QApplication.
#include <QApplication>

#include <gtest/gtest.h>

// Qt is not built for ThreadSanitizer; its own threads' hand-overs are left
// out of the reports (an unused function in other builds).
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libQt6Core.so.6\n"
           "race:libQt6Gui.so.6\n";
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
