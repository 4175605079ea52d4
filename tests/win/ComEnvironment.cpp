// COM on the test thread for the whole run, as the program's UI thread has it,
// so the drivers can reach the system's device enumerator.
#include <gtest/gtest.h>

#include <objbase.h>

namespace {
class ComEnvironment : public testing::Environment {
  public:
    void SetUp() override { m_Initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    void TearDown() override {
        if (m_Initialised) CoUninitialize();
    }

  private:
    bool m_Initialised = false;
};
testing::Environment* const g_Com = testing::AddGlobalTestEnvironment(new ComEnvironment);
} // namespace
