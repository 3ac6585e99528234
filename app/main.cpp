#include "app/startup.h"

int main(int argc, char** argv) {
    return RunOmbrastel(argc, argv);
}
