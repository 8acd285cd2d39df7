#pragma once

#include "imagelib/ruvo_object.h"

#include <cstdarg>
#include <string>

// Error codes carried by CTextException; the conversion engine shows the number
// to the user ("Error %d decoding %s: %s").
enum : int {
    ERR_WRONG_SIGNATURE = 1,
    ERR_FORMAT_UNKNOWN = 2,
    ERR_PATH_NOT_FOUND = 3,
    ERR_FILE_NOT_FOUND = 4,
    ERR_ACCESS_DENIED = 5,
    ERR_FORMAT_NOT_COMPILED = 6,
    ERR_UNSUPPORTED_DATA = 7,
    ERR_UNKNOWN_FILE_TYPE = 8,
    ERR_NO_MEMORY = 10,
    ERR_END_OF_FILE = 11,
};

// Every text the library formats fits a 256-byte buffer: longer texts are cut
// to 255 characters.
inline constexpr std::size_t kMaxMessageLength = 255;

// The only exception type the image library throws.
class CTextException : public CRuvoObject {
public:
    CTextException(int code, const std::string& message);
    // With an explanation for people that says more than the message, which
    // keeps the text callers know (a picture over the size limit is refused
    // as an allocation failure is).
    CTextException(int code, const std::string& message, const std::string& explanation);

    virtual int GetCode() const { return m_code; }
    virtual const char* GetMessage() const { return m_message.c_str(); }
    // What a person is told: the explanation when there is one, otherwise the
    // message.
    const char* GetUserMessage() const {
        return m_explanation.empty() ? GetMessage() : m_explanation.c_str();
    }

private:
    int m_code;
    std::string m_message;
    std::string m_explanation;
};

// printf-style formatting into a string cut to kMaxMessageLength characters.
std::string FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatMessageV(const char* format, va_list arguments);
