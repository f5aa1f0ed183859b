#include <gtest/gtest.h>
#include <ole2.h>

#include "hhctrl_client.h"
#include "sim_client.h"
#include "without_help_file.h"

// Every Wine test program runs in a single-threaded apartment, as the add-in does in its host.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    OleInitialize(nullptr);
    simclient::RestoreCdoRegistration();
    simclient::RestoreHtmlHelp();
    orvtest::WithoutHelpFile::Restore();
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
