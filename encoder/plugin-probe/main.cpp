// kmf-plugin-probe <library>: the trial load of a codec plug-in, run by the
// plug-in loader (encoder/PluginProbe.h) in a process of its own. It loads
// the library, checks that it exports a codec entry and lists its formats,
// then writes "ok" or why the library failed to descriptor 3 and ends at
// once, running no exit code of the library. A library that crashes, ends
// the process or hangs takes only this program with it; the loader reads
// that from how it ended.
#include "encoder/KmfCoderPlugin.h"
#include "encoder/PluginProbe.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

using namespace moxel;

[[noreturn]] void report(const char* text, int status)
{
    size_t length = std::strlen(text);
    while (length > 0) {
        ssize_t n = ::write(kPluginProbeReportFd, text, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text += n;
        length -= size_t(n);
    }
    _exit(status);
}

void listTypes(void* handle, const char* entry)
{
    auto getTypes = reinterpret_cast<KmfGetTypes3Fn>(dlsym(handle, entry));
    if (!getTypes)
        return;
    for (int index = 0; index < kMaxTypesPerPlugin; ++index) {
        char name[kCoderTypeNameSize] = {};
        if (getTypes(index, name) == 0)
            return;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] != '/')
        report("the trial program was started the wrong way", 2);
    void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        report(why ? why : "cannot load", 1);
    }
    bool anyEntry = false;
    for (const char* entry : kCodecPluginEntries)
        anyEntry = anyEntry || dlsym(handle, entry) != nullptr;
    if (!anyEntry)
        report("it exports none of the codec plug-in entries", 1);
    listTypes(handle, "GetVideoTypes3");
    listTypes(handle, "GetAudioTypes3");
    report(kPluginProbeOk, 0);
}
