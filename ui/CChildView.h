// The base of the program's custom-drawn child windows. The object rides on
// its window (GWLP_USERDATA, set from the creation parameter), and every
// message goes to the object's virtual handlers. Painting is double-buffered:
// a derived view draws into a memory bitmap that is copied in one go, so a
// repaint never flickers. User-interface thread only.
#pragma once

#include <windows.h>

class CChildView {
  public:
    CChildView() = default;
    virtual ~CChildView();
    CChildView(const CChildView&) = delete;
    CChildView& operator=(const CChildView&) = delete;

    // Creates the child window (visible, at 0,0 size 0,0); 1 on success. A
    // second call on a created view answers 1 and creates nothing.
    virtual int Create(HWND parent, LONG_PTR userValue = 0, DWORD style = 0, DWORD exStyle = 0);
    virtual void Destroy();
    virtual void Invalidate();
    virtual void Move(const RECT& r);
    virtual void Move(int x, int y, int width, int height);
    virtual void Enable(bool on);
    virtual void SetFont(const wchar_t* face, int height, int charset);

    HWND GetWindow() const { return m_hWnd; }
    bool IsSized() const { return m_bSized; }

    // Registers the shared child class once per process.
    static int RegisterClass(HINSTANCE instance);

  protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual int OnCreate() { return 0; }
    virtual int OnSize(int width, int height) {
        (void)width;
        (void)height;
        return 0;
    }
    virtual void Paint(HDC dc);
    // Draws the view into `dc` (a memory bitmap of the client size).
    virtual int Draw(HDC dc, const RECT& client) = 0;

    HWND m_hWnd = nullptr;
    HWND m_hParent = nullptr;
    LONG_PTR m_UserValue = 0;
    int m_CharWidth = 0, m_LineHeight = 0, m_LinePitch = 0;
    bool m_bSized = false;
    HFONT m_hFont = nullptr;

  private:
    static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The view font from the settings, or the language's default fixed font.
    void EnsureFont();
};
