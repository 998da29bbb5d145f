// Pictures of real windows, for the demo and for tests that leave a screenshot behind.
#pragma once

#include <windows.h>

#include <string>

// Draws the window (frame included) as it is on screen into a 24-bit BMP file.
// False when the window could not be captured or the file not written.
bool SaveWindowBitmap(HWND window, const std::wstring& path);
