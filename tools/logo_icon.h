// The application icon: a frozen window with a wiped stripe showing the summer behind it.
#pragma once

#include <string>

// Writes the icon as a 256x256 PNG with transparency; false when the file cannot be written.
bool WriteIconPng(const std::string& path);
// Writes the same picture as an SVG document.
bool WriteIconSvg(const std::string& path);
