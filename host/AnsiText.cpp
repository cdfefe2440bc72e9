// Code-page-aware walking of ANSI text, on the host's lead-byte test.
#include "AnsiText.h"

#include "Host.h"

size_t CAnsiText::CharLength(const std::string& text, size_t pos) const {
    if (pos + 1 < text.size() && m_host.IsDBCSLeadByte(static_cast<BYTE>(text[pos])))
        return 2;
    return 1;
}

void CAnsiText::MakeUpper(std::string& text) const {
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        char& c = text[pos];
        if (CharLength(text, pos) == 1 && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
}

int CAnsiText::Find(const std::string& text, const std::string& what, size_t start) const {
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (pos >= start && text.compare(pos, what.size(), what) == 0)
            return static_cast<int>(pos);
    }
    return -1;
}

int CAnsiText::FindChar(const std::string& text, char ch, size_t start) const {
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (pos >= start && CharLength(text, pos) == 1 && text[pos] == ch)
            return static_cast<int>(pos);
    }
    return -1;
}

int CAnsiText::ReverseFindChar(const std::string& text, char ch) const {
    int found = -1;
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (CharLength(text, pos) == 1 && text[pos] == ch)
            found = static_cast<int>(pos);
    }
    return found;
}

void CAnsiText::Reverse(std::string& text) const {
    std::string reversed;
    reversed.reserve(text.size());
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos))
        reversed.insert(0, text, pos, CharLength(text, pos));
    text.swap(reversed);
}
