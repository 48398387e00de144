#pragma once
// The system's ANSI code page <-> the core's UTF-8.
#include <string>
#include <string_view>

namespace tavri::win {

// Converts the whole byte string at once, so a character whose bytes
// arrived in different reads still comes out whole.
std::string ansiToUtf8(std::string_view ansi);

// Characters the code page lacks become its default character.
std::string utf8ToAnsi(std::string_view utf8);

}  // namespace tavri::win
