#include "drivers/test/CTestDriverFactory.h"

CCaptureDriver* CTestDriverFactory::CreateCapture(int) {
    auto* c = new CTestCapture();
    if (m_ConfigureCapture) m_ConfigureCapture(*c);
    m_pLastCapture = c;
    return c;
}

CRenderDriver* CTestDriverFactory::CreateRender(int) {
    auto* r = new CTestRenderer();
    if (m_ConfigureRender) m_ConfigureRender(*r);
    m_pLastRender = r;
    return r;
}
