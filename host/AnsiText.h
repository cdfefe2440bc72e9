// Code-page-aware walking of ANSI text. Every step that upper-cases, searches or reverses
// program text goes through here, so a double-byte character (whose second byte may be
// 0x5C, the backslash, or a letter in code page 932) is never split or misread.
// Texts are zero-terminated; positions count bytes from the start.
#pragma once

#include <cstddef>

class CHost;

class CAnsiText {
public:
    explicit CAnsiText(CHost& host) : m_host(host) {}

    // Byte length of the character at pos: 2 for a lead byte with a trail byte behind it,
    // else 1.
    size_t CharLength(const char* text, size_t pos) const;

    // Upper-cases single-byte ASCII letters; double-byte characters are left whole.
    void MakeUpper(char* text) const;

    // Position of the first occurrence of what that begins on a character boundary at or
    // after start, or -1.
    int Find(const char* text, const char* what, size_t start = 0) const;

    // Position of the first single-byte character ch on a character boundary at or after
    // start, or -1; a start past the end finds nothing.
    int FindChar(const char* text, char ch, size_t start = 0) const;

    // Position of the last single-byte character ch, or -1.
    int ReverseFindChar(const char* text, char ch) const;

    // Position of the first single-byte character that is one of set, or -1.
    int FindOneOf(const char* text, const char* set) const;

    // Reverses the order of the characters; a double-byte character keeps its byte order.
    void Reverse(char* text) const;

private:
    CHost& m_host;
};
