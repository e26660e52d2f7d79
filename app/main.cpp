// moxel: the desktop program. It reads no command-line options.
#include "app/DesktopProgram.h"

int main(int argc, char** argv)
{
    return moxel::gui::runDesktopProgram(argc, argv);
}
