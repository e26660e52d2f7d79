// kmfinfo FILE: prints what a KMF file holds; see tools/kmfinfo/KmfInfo.h.
#include "tools/kmfinfo/KmfInfo.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    int code = moxel::runKmfInfo(args, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
