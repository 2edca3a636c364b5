// The one place where text changes encoding. Inside the installer every text is UTF-8: the
// format's Windows-1252 bytes (entry names, the product name) are converted when they are read,
// and UTF-16 is made only where a text crosses into Windows, and read back from it. Code page
// 1252 is converted by its own table, never through the system's code page, which may be any.
#pragma once
#include <stdint.h>

#ifdef _WIN32
typedef wchar_t WideUnit;
#else
typedef char16_t WideUnit;
#endif

// Windows-1252 text into UTF-8. 1, or 0 with output emptied when it would not fit.
int Cp1252ToUtf8(const char* text, char* output, int capacity);

// UTF-8 into UTF-16. The encoded surrogates that Utf16ToUtf8 writes for a lone one come back
// as they were; a byte that starts no well-formed sequence is taken as a Windows-1252
// character, so any text converts. 1, or 0 with output emptied when it would not fit (the
// units never outnumber the bytes).
int Utf8ToUtf16(const char* text, WideUnit* output, int capacity);

// UTF-16 (length units, or up to its terminator when -1) into UTF-8. A lone surrogate, which
// Windows allows in file names, is encoded as itself, so the name converts back unchanged. 1, or
// 0 with output emptied when it would not fit.
int Utf16ToUtf8(const WideUnit* text, int length, char* output, int capacity);

// The bytes of text's first units UTF-16 units: how far a rule counted in characters reaches.
int Utf8PrefixBytes(const char* text, int units);

#ifdef _WIN32
// A UTF-8 text as UTF-16 for one Windows call; nullptr stays nullptr.
class WideText {
  public:
    explicit WideText(const char* text);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    operator const wchar_t*() const { return text_; }
    wchar_t* Units() { return text_; }

  private:
    wchar_t* text_ = nullptr;
    wchar_t* block_ = nullptr;
    wchar_t inline_[264];
};

// The process's command line (GetCommandLineW) in UTF-8, made once, kept for the process.
const char* ProcessCommandLine();
#endif
