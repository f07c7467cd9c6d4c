// gloamyard-saver: the Gloamyard scene as an XScreenSaver display mode.
#include "saver/GloamyardExtension.h"

int main(int argc, char** argv)
{
    return gloam::saver::GloamyardExtension::main(argc, argv);
}
