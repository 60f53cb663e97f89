// SPDX-License-Identifier: MIT
#include "office/officemain.h"

int main(int argc, char** argv) {
    return office::officeMain(argc, argv);
}
