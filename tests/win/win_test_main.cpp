// Entry point of the Windows test executable. COM is initialised on the test
// thread as the program's UI thread has it, so the drivers can reach the system.
#include <gtest/gtest.h>

#include <objbase.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
