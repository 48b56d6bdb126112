#pragma once
// Qt's keys as the Windows virtual-key codes that the control's key events report and the
// engine takes: letters as upper-case ASCII, digits, F1-F24, the keypad, the US layout's
// punctuation keys (shifted symbols by the key they are on), arrows and editing keys.
#include <Qt>

namespace hostctl {

// 0 for a key that has no virtual-key code here (media and other special keys).
int WindowsVirtualKey(int qtKey, Qt::KeyboardModifiers modifiers);

}  // namespace hostctl
