// Code-page-aware walking of ANSI text, on the host's lead-byte test.
#include "host/AnsiText.h"

#include "host/Host.h"

#include <algorithm>
#include <cstring>

size_t CAnsiText::CharLength(const char* text, size_t pos) const {
    if (text[pos + 1] != '\0' && m_host.IsDBCSLeadByte(static_cast<BYTE>(text[pos])))
        return 2;
    return 1;
}

void CAnsiText::MakeUpper(char* text) const {
    for (size_t pos = 0; text[pos] != '\0'; pos += CharLength(text, pos)) {
        char& c = text[pos];
        if (CharLength(text, pos) == 1 && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
}

int CAnsiText::Find(const char* text, const char* what, size_t start) const {
    const size_t nWhat = std::strlen(what);
    for (size_t pos = 0; text[pos] != '\0'; pos += CharLength(text, pos)) {
        if (pos >= start && std::strncmp(text + pos, what, nWhat) == 0)
            return static_cast<int>(pos);
    }
    return -1;
}

int CAnsiText::FindChar(const char* text, char ch, size_t start) const {
    for (size_t pos = 0; text[pos] != '\0'; pos += CharLength(text, pos)) {
        if (pos >= start && CharLength(text, pos) == 1 && text[pos] == ch)
            return static_cast<int>(pos);
    }
    return -1;
}

int CAnsiText::ReverseFindChar(const char* text, char ch) const {
    int found = -1;
    for (size_t pos = 0; text[pos] != '\0'; pos += CharLength(text, pos)) {
        if (CharLength(text, pos) == 1 && text[pos] == ch)
            found = static_cast<int>(pos);
    }
    return found;
}

int CAnsiText::FindOneOf(const char* text, const char* set) const {
    for (size_t pos = 0; text[pos] != '\0'; pos += CharLength(text, pos)) {
        if (CharLength(text, pos) == 1 && std::strchr(set, text[pos]) != nullptr)
            return static_cast<int>(pos);
    }
    return -1;
}

void CAnsiText::Reverse(char* text) const {
    // Swap the two bytes of every double-byte character first; reversing all bytes then
    // puts them back in order. No second buffer is needed.
    const size_t nLength = std::strlen(text);
    for (size_t pos = 0; pos < nLength;) {
        size_t nChar = CharLength(text, pos);
        if (nChar == 2)
            std::swap(text[pos], text[pos + 1]);
        pos += nChar;
    }
    std::reverse(text, text + nLength);
}
