// What the fuzz targets share: a failed check that libFuzzer reports as a crash, and an
// independent character walk to judge the installer's code-page-aware results against.
#pragma once

#include "tests/memory/MemoryHost.h"
#include "setup/DiscFacts.h"
#include "setup/InstallApp.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzz {

// An input's first byte, one switch a bit. The first is the same in every target that has
// switches: code page 932 instead of 1252.
const uint8_t FLAG_DBCS = 1;
class CFlags {
public:
    explicit CFlags(FuzzedDataProvider& input) : m_bits(input.ConsumeIntegral<uint8_t>()) {}
    bool operator()(uint8_t flag) const { return (m_bits & flag) != 0; }

private:
    uint8_t m_bits;
};

const char* const HARDWARE_IDS[HARDWARE_ID_COUNT] = {
    disc::CODEC_1095_1390,
    disc::CODEC_1095_1392,
    disc::CODEC_17E8_0047,
};

// Code page 932's lead bytes, written out here rather than asked of the host under test.
inline bool IsLeadByte(bool bDbcs, unsigned char c) {
    return bDbcs && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

// Byte positions where characters start: a lead byte with any byte behind it is one
// character, as CharNextA walks text.
inline std::vector<size_t> CharStarts(const std::string& text, bool bDbcs) {
    std::vector<size_t> starts;
    for (size_t pos = 0; pos < text.size();) {
        starts.push_back(pos);
        pos += (pos + 1 < text.size() && IsLeadByte(bDbcs, text[pos])) ? 2 : 1;
    }
    return starts;
}

// True when text holds what starting at a character boundary.
inline bool ContainsAtBoundary(const std::string& text, const std::string& what, bool bDbcs) {
    for (size_t pos : CharStarts(text, bDbcs))
        if (text.compare(pos, what.size(), what) == 0)
            return true;
    return false;
}

// Positions of the single-byte backslashes, the second bytes of double-byte characters
// left out.
inline std::vector<size_t> Backslashes(const std::string& text, bool bDbcs) {
    std::vector<size_t> found;
    for (size_t pos : CharStarts(text, bDbcs))
        if (text[pos] == '\\')
            found.push_back(pos);
    return found;
}

// The device path a subkey name gives: "HDAUDIO\\" and the name, when a pattern starts on a
// character boundary in it and the whole fits the field; none otherwise.
inline std::string DevicePathFor(const std::string& name, bool bDbcs) {
    for (const char* pszPattern : HARDWARE_IDS)
        if (ContainsAtBoundary(name, pszPattern, bDbcs) && name.size() + 8 < DEVICE_PATH_SIZE)
            return "HDAUDIO\\" + name;
    return std::string();
}

// A fixed buffer holds a terminating zero somewhere inside its size.
inline bool Terminated(const char* buffer, size_t size) {
    return std::memchr(buffer, '\0', size) != nullptr;
}

inline std::string UpToZero(std::string text) {
    return text.substr(0, text.find('\0'));
}

} // namespace fuzz
