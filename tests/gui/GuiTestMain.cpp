// One application object for every widget test, on the offscreen platform
// unless another is asked for.
#include "pipeline/VideoTables.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    moxel::initVideoTables();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
