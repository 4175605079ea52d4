// COM on the test thread for the whole run, as the program's UI thread has it,
// so the drivers can reach the system's device enumerator.
#include <gtest/gtest.h>

#include <objbase.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const int result = RUN_ALL_TESTS();
    if (com) CoUninitialize();
    return result;
}
