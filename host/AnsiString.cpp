// The growable text: a heap buffer that always holds a terminating zero.
#include "host/AnsiString.h"

#include <cstdlib>
#include <cstring>

CAnsiString::CAnsiString(const char* psz) {
    *this += psz;
}

CAnsiString::CAnsiString(const char* p, size_t nLength) {
    Append(p, nLength);
}

CAnsiString::CAnsiString(const CAnsiString& other) {
    Append(other.c_str(), other.m_nLength);
}

CAnsiString& CAnsiString::operator=(const CAnsiString& other) {
    if (this != &other) {
        Truncate(0);
        Append(other.c_str(), other.m_nLength);
    }
    return *this;
}

CAnsiString& CAnsiString::operator=(const char* psz) {
    CAnsiString copy(psz); // psz may point into this very text
    return *this = copy;
}

CAnsiString::~CAnsiString() {
    std::free(m_p);
}

CAnsiString& CAnsiString::operator+=(const char* psz) {
    return psz ? Append(psz, std::strlen(psz)) : *this;
}

CAnsiString& CAnsiString::Append(const char* p, size_t nLength) {
    if (nLength == 0)
        return *this;
    if (m_p != nullptr && p >= m_p && p < m_p + m_nCapacity) {
        CAnsiString copy(p, nLength); // appending a piece of itself survives the move
        return Append(copy.c_str(), nLength);
    }
    Reserve(m_nLength + nLength + 1);
    std::memcpy(m_p + m_nLength, p, nLength);
    m_nLength += nLength;
    m_p[m_nLength] = '\0';
    return *this;
}

char* CAnsiString::data() {
    Reserve(m_nLength + 1);
    return m_p;
}

void CAnsiString::Truncate(size_t nLength) {
    if (nLength < m_nLength) {
        m_nLength = nLength;
        m_p[m_nLength] = '\0';
    }
}

void CAnsiString::DeleteFront(size_t nCount) {
    if (nCount >= m_nLength) {
        Truncate(0);
        return;
    }
    std::memmove(m_p, m_p + nCount, m_nLength - nCount + 1);
    m_nLength -= nCount;
}

void CAnsiString::Reserve(size_t nCapacity) {
    if (nCapacity <= m_nCapacity)
        return;
    size_t nNew = m_nCapacity ? m_nCapacity * 2 : 64;
    while (nNew < nCapacity)
        nNew *= 2;
    char* p = static_cast<char*>(std::realloc(m_p, nNew));
    // The texts are a few hundred bytes; a system that cannot give them cannot run the
    // installer either, and a half-built path must never be used.
    if (p == nullptr)
        std::abort();
    if (m_p == nullptr)
        p[0] = '\0';
    m_p = p;
    m_nCapacity = nNew;
}

bool CopyWhole(char* pBuffer, size_t nSize, const CAnsiString& text) {
    if (text.size() + 1 > nSize)
        return false;
    std::memcpy(pBuffer, text.c_str(), text.size() + 1);
    return true;
}
