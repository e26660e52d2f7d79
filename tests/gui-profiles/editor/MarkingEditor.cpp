// A stand-in editor library: it appends a section of its own to the profile
// file it is given, so a test can see that the program called it.
#include <cstdio>

class QWidget;

extern "C" __attribute__((visibility("default"))) bool ProfileEditDialog(QWidget*,
                                                                         const char* profilePath)
{
    std::FILE* file = std::fopen(profilePath, "ab");
    if (file == nullptr)
        return false;
    std::fputs("[marking_editor]\r\nedited=1\r\n", file);
    std::fclose(file);
    return true;
}
