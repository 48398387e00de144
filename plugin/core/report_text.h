#pragma once
// Pure text helpers behind the report methods: the classic 1-based string
// routines (InStr, Mid, Replace) and the key/end-marker cut built on them.
// Positions are byte offsets; keys and markers are ASCII, so every cut falls
// on a character boundary of the UTF-8 text.
#include <cstdint>
#include <string>
#include <string_view>

namespace tavri::report {

// 1-based position of the first `find` in `text` at or after `start`; 0 when
// absent, when `text` is empty or when `start` lies past the end. An empty
// `find` is found at `start`. A `start` below 1 is error 5.
std::int64_t inStr(std::int64_t start, std::string_view text, std::string_view find);

// `length` bytes of `text` from 1-based `start` (fewer at the end, none when
// `start` lies past the end). A `start` below 1 or a negative `length` is error 5.
std::string mid(std::string_view text, std::int64_t start, std::int64_t length);

// Every non-overlapping `find`, scanned left to right, replaced by `with`.
// An empty `find` leaves the text as it is.
std::string replaceAll(std::string_view text, std::string_view find, std::string_view with);

// The text from the first `key` up to (not including) the first `endMarker`
// at or after it, key included. Error 5 when the key or the marker is missing.
std::string cutField(std::string_view report, std::string_view key, std::string_view endMarker);

// cutField() with every occurrence of the key then removed.
std::string extractField(std::string_view report, std::string_view key, std::string_view endMarker);

}  // namespace tavri::report
