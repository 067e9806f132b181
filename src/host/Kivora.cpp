#include <string>
#include <vector>

#include "host/StandAloneApp.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int result = KivoraMain(arguments);
    // A failure answer keeps its low byte as the exit status, never 0.
    if (result < 0) return (result & 0xFF) != 0 ? (result & 0xFF) : 1;
    return result;
}
