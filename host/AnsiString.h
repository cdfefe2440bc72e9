// The growable text that paths and command lines are joined in. Our own, not std::string:
// the standard one drags the exception and locale machinery of a static libstdc++ into
// the exe, tripling its size, for nothing the installer uses.
#pragma once

#include <cstddef>

class CAnsiString {
public:
    CAnsiString() = default;
    CAnsiString(const char* psz);
    CAnsiString(const char* p, size_t nLength);
    CAnsiString(const CAnsiString& other);
    CAnsiString& operator=(const CAnsiString& other);
    CAnsiString& operator=(const char* psz);
    ~CAnsiString();

    CAnsiString& operator+=(const char* psz);
    CAnsiString& operator+=(const CAnsiString& other) {
        return Append(other.c_str(), other.m_nLength);
    }
    CAnsiString& operator+=(char c) { return Append(&c, 1); }
    CAnsiString& Append(const char* p, size_t nLength);

    const char* c_str() const { return m_p ? m_p : ""; }
    // Writable text of size() bytes and a terminating zero, for the calls that need it.
    char* data();
    size_t size() const { return m_nLength; }
    bool empty() const { return m_nLength == 0; }

    // Keeps the first nLength bytes.
    void Truncate(size_t nLength);
    // Removes the first nCount bytes.
    void DeleteFront(size_t nCount);

private:
    void Reserve(size_t nCapacity);

    char* m_p = nullptr;
    size_t m_nLength = 0;
    size_t m_nCapacity = 0;
};

// Copies text into a fixed buffer only when all of it fits with its terminating zero;
// otherwise the buffer is left untouched and the result is false. Never a cut-off path.
bool CopyWhole(char* pBuffer, size_t nSize, const CAnsiString& text);
