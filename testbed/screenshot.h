// Pictures of real windows, for the demo and for tests that leave a screenshot behind.
#pragma once

#include <windows.h>

#include <string>

// The window (frame included) as it shows on screen, into a 24-bit BMP file; the window
// should be in front.
// False when the window could not be captured or the file not written.
bool SaveWindowBitmap(HWND window, const std::wstring& path);
