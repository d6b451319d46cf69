// The program's entry point.
#include "shell/gui.h"

int main(int argc, char** argv) { return shell::WinMain(argc, argv); }
