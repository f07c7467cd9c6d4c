#pragma once

namespace gloam::soak {

// One reading of this process's memory and handles, from /proc/self and
// the allocator. Sizes in MiB.
struct ProcessMemory {
    double resident = 0;  // VmRSS: every page in RAM (Mesa's and Qt's too)
    double anonymous = 0; // RssAnon: the heap, mmapped blocks, thread stacks
    double heapInUse = 0; // mallinfo2: bytes handed out by malloc (arenas and mmapped blocks)
    double heapHeld = 0;  // mallinfo2: what malloc holds from the system, used or free
    int openFiles = 0;    // entries of /proc/self/fd
    int threads = 0;

    static ProcessMemory sample();
};

} // namespace gloam::soak
