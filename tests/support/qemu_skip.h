#pragma once

#include "sim/qemu_qtest_client.h"

#include <gtest/gtest.h>

// Tests that put QEMU's flash models behind a simulated board are skipped,
// with the reason, on a machine without qemu-system-arm (scripts/setup
// installs it, so CI runs them).
#define TARVEL_SKIP_WITHOUT_QEMU()                                                                                 \
    do {                                                                                                           \
        if (CQemuQtestClient::FindProgram().empty())                                                               \
            GTEST_SKIP() << "qemu-system-arm is not installed (Debian package qemu-system-arm): QEMU's flash "     \
                            "models cannot be asked";                                                              \
    } while (0)
