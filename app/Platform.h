#pragma once

// What the program needs from the desktop before and after QApplication exists.
namespace Platform {

// Windows must place themselves, which a Wayland session does not allow; run
// on X (XWayland) whenever there is a display for it.
void preferX11();

// Notes name Windows fonts; map them to the IPA fonts that look like them.
void registerFontSubstitutes();

}
