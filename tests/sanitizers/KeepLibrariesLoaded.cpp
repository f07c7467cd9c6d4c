// Linked into the test programs of AddressSanitizer builds only.
//
// Mesa unloads its driver when a program terminates its last EGL display,
// which every headless test does. What the driver allocated once at start-up
// was referenced only from the driver's own globals, so after the unload
// LeakSanitizer finds it unreferenced and reports it as leaked, from a
// module it can no longer name, which no suppression can match. Keeping
// every library loaded until the process ends keeps those allocations
// referenced, as they are in a program that never unloads its driver; our
// own leaks are reported as before.
extern "C" int dlclose(void* /*handle*/)
{
    return 0;
}
