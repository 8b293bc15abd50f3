#pragma once

namespace quillmap {

// The hourglass while the window works inside one event: shown from construction until
// restore() or destruction, whichever comes first, so it goes back on every path (an early
// return or an exception included) and before any message box is shown.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    void restore();

private:
    bool m_on = true;
};

} // namespace quillmap
