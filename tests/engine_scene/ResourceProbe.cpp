// Looks up the resource folder and prints it. The resource-folder tests run
// a copy of this program where no folder is beside it, to see it end the
// process with a message.

#include "engine/common/HalloweenResources.h"

#include <cstdio>

int main()
{
    std::printf("found %s\n", gloam::halloweenResources().c_str());
    return 0;
}
