#pragma once

#include <windows.h>

#include <string>

// Shows UTF-8 `text` in a modal message box owned by the application's active window and returns the button pressed.
// The caption is the executable's file name without its extension ("Kelvaro" for Kelvaro.exe). A type that names
// no icon gets the exclamation icon.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);

// The executable's file name without directory and extension.
std::string AfxGetAppName();
