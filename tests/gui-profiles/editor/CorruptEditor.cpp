// A stand-in editor library without the editor's entry.
extern "C" __attribute__((visibility("default"))) int SomethingElse()
{
    return 0;
}
