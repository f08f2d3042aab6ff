// Entry of the Win32 test program, run once under Wine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
