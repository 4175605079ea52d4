#include "drivers/test/CTestDriverFactory.h"

CCaptureDriver* CTestDriverFactory::CreateCapture(int) {
    auto* c = new CTestCapture();
    ++m_CaptureCount;
    if (m_ConfigureCapture) m_ConfigureCapture(*c);
    m_pLastCapture = c;
    return c;
}

CRenderDriver* CTestDriverFactory::CreateRender(int) {
    if (!m_WithRenderer) return nullptr;
    auto* r = new CTestRenderer();
    if (m_ConfigureRender) m_ConfigureRender(*r);
    m_pLastRender = r;
    return r;
}
