#pragma once
// Mouse, wheel and key input into a page, with the Windows message numbers, virtual-key codes
// and flags of the C interface, and the page's input focus.
namespace engine {

class Page;

enum class KeyAction { kDown, kUp, kPress };

class PageInput {
  public:
    explicit PageInput(Page& page) : page_(page) {}

    bool FireMouse(unsigned message, int x, int y, unsigned flags);
    bool FireWheel(int x, int y, int delta, unsigned flags);
    bool FireKey(KeyAction action, unsigned code, unsigned flags, bool systemKey);
    // A page in a hidden view is not focused by itself; the host says when it has the focus.
    void SetFocus(bool focused);

  private:
    Page& page_;
    char16_t pendingHighSurrogate_ = 0;  // the first half of a typed character
};

}  // namespace engine
