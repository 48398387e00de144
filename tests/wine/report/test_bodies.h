#pragma once
// Report bodies crafted for the fetch tests, with what each must become once
// fetched. The expected text is worked out here by table, not by the
// conversion under test.
#include <string>

namespace fetchtest {

constexpr const char* kReportKeys = "\r\nplan_name=Basic 10GB Upgrade\r\nusage=1234MB\r\nplan_limit=3000MB\r\n";

// 100 KiB in the ANSI code page 1252: letters of the upper half (euro sign,
// e acute, ...) on both sides of every 256-byte boundary, the keys at the end.
std::string boundaryLetters1252();
std::string boundaryLettersUtf8();

// Shift-JIS (code page 932): a two-byte character cut by every 256-byte
// boundary, its lead byte ending one read and its trail byte starting the next.
std::string splitCharacters932();
std::string splitCharactersUtf8();

// 20 MiB of numbered ASCII lines, the keys at the end (past the size cap).
std::string huge();

// Writes the bodies above into dir as boundary.bin, split932.bin, huge.bin.
bool writeBodies(const std::wstring& dir);

}  // namespace fetchtest
