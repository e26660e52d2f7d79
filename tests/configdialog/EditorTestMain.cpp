// The editor tests run on the offscreen platform inside one QApplication.
// With --screenshots=DIR the program instead saves pictures of the two
// dialogs, with the real codec plug-ins beside the program, as PNG files.
#include "Screenshots.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The offscreen platform says so for every window that asks it for things
// only a real screen has.
QtMessageHandler g_standardHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.startsWith(QStringLiteral("This plugin does not support")))
        return;
    if (g_standardHandler)
        g_standardHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_standardHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const char* option = "--screenshots=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], option, std::strlen(option)) == 0)
            return moxel::test::saveScreenshots(argv[i] + std::strlen(option)) ? 0 : 1;
    return RUN_ALL_TESTS();
}
