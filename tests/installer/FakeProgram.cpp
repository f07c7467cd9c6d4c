// A stand-in for the programs the installer carries and the tools it watches:
// "--version" prints "<name> <version>"; otherwise it notes its path, process id and
// arguments in $FAKE_PROGRAM_LOG and waits for a signal. "--ignore-term" makes it ignore
// SIGTERM, like a program that will not quit.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", FAKE_PROGRAM_NAME, FAKE_PROGRAM_VERSION);
        return 0;
    }
    if (const char* log = std::getenv("FAKE_PROGRAM_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s %d started", argv[0], static_cast<int>(getpid()));
            for (int k = 1; k < argc; ++k) {
                std::fprintf(file, " %s", argv[k]);
            }
            std::fprintf(file, "\n");
            std::fclose(file);
        }
    }
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--ignore-term") == 0) {
            std::signal(SIGTERM, SIG_IGN);
        }
    }
    for (;;) {
        pause();
    }
}
