// The program's entry point. --version is answered without opening a window.
#include <cstdio>
#include <string_view>

#include "shell/gui.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("TavrixV20 %s\n", TAVRIX_VERSION);
        return 0;
    }
    return shell::WinMain(argc, argv);
}
