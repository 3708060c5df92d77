// The program's texts are 8-bit in the Windows Western code page (1252);
// SDL and X11 want UTF-8.
#pragma once

#include <string>

namespace winsys {

std::string Cp1252ToUtf8(const std::string& text);

}  // namespace winsys
