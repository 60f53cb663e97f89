// SPDX-License-Identifier: MIT
#include "office/server/officemain.h"

int main(int argc, char** argv) {
    return office::officeMain(argc, argv);
}
