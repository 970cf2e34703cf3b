#include <cstdio>

int main() {
    std::printf("WrenIsland %s\n", WREN_VERSION);
    return 0;
}
