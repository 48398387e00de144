#include "test_bodies.h"

#include <windows.h>

#include <cstdio>
#include <utility>

#include "handles.h"

namespace fetchtest {
namespace {

constexpr size_t kChunk = 256;

struct Letter {
    unsigned char ansi;
    const char* utf8;
};
// Code page 1252 bytes and the characters they stand for.
constexpr Letter kLetters1252[] = {
    {0x80, "\xE2\x82\xAC"},  // euro sign
    {0xE9, "\xC3\xA9"},      // e acute
    {0x9F, "\xC5\xB8"},      // Y diaeresis
    {0xA0, "\xC2\xA0"},      // no-break space
    {0xFF, "\xC3\xBF"},      // y diaeresis
    {0x96, "\xE2\x80\x93"},  // en dash
};

// Hiragana letter A: 0x82 0xA0 in Shift-JIS, U+3042.
constexpr char kSplit932[] = "\x82\xA0";
constexpr char kSplitUtf8[] = "\xE3\x81\x82";

template <typename Emit>
void boundaryPattern(Emit emit) {
    const size_t size = 100 * 1024 - std::char_traits<char>::length(kReportKeys);
    size_t letter = 0;
    for (size_t i = 0; i < size; ++i) {
        const bool atBoundary = i % kChunk == kChunk - 1 || (i > 0 && i % kChunk == 0);
        if (atBoundary)
            emit(kLetters1252[letter++ % std::size(kLetters1252)]);
        else
            emit(Letter{static_cast<unsigned char>('a' + (i / kChunk) % 26), nullptr});
    }
}

template <typename Emit>
void splitPattern(Emit emit) {
    const size_t size = 40 * kChunk;
    for (size_t i = 0; i < size; ++i) {
        if (i % kChunk == kChunk - 1) {
            emit(true);
            ++i;  // the trail byte sits at the boundary
        } else {
            emit(false);
        }
    }
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    tavri::win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                             nullptr) &&
           written == bytes.size();
}

}  // namespace

std::string boundaryLetters1252() {
    std::string out;
    boundaryPattern([&](Letter l) { out += static_cast<char>(l.ansi); });
    return out + kReportKeys;
}

std::string boundaryLettersUtf8() {
    std::string out;
    boundaryPattern([&](Letter l) { l.utf8 ? out += l.utf8 : out += static_cast<char>(l.ansi); });
    return out + kReportKeys;
}

std::string splitCharacters932() {
    std::string out;
    splitPattern([&](bool split) { out += split ? kSplit932 : "x"; });
    return out + kReportKeys;
}

std::string splitCharactersUtf8() {
    std::string out;
    splitPattern([&](bool split) { out += split ? kSplitUtf8 : "x"; });
    return out + kReportKeys;
}

std::string huge() {
    std::string out;
    const size_t size = 20u * 1024 * 1024;
    out.reserve(size + 128);
    char line[40];
    for (unsigned n = 1; out.size() < size; ++n) {
        std::snprintf(line, sizeof line, "line %010u .................\r\n", n);
        out += line;
    }
    return out + kReportKeys;
}

bool writeBodies(const std::wstring& dir) {
    return writeFile(dir + L"\\boundary.bin", boundaryLetters1252()) &&
           writeFile(dir + L"\\split932.bin", splitCharacters932()) &&
           writeFile(dir + L"\\huge.bin", huge());
}

}  // namespace fetchtest
