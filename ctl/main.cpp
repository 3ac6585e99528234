#include "ctl/ctl.h"

int main(int argc, char** argv) {
    return ctl::RunCtl(argc, argv);
}
