#include "imagelib/text_exception.h"

#include <cstdio>

CTextException::CTextException(int code, const std::string& message)
    : m_code(code), m_message(message.substr(0, kMaxMessageLength)) {}

CTextException::CTextException(int code, const std::string& message, const std::string& explanation)
    : m_code(code),
      m_message(message.substr(0, kMaxMessageLength)),
      m_explanation(explanation.substr(0, kMaxMessageLength)) {}

std::string FormatMessageV(const char* format, va_list arguments) {
    char buffer[kMaxMessageLength + 1];
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    return buffer;
}

std::string FormatMessage(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatMessageV(format, arguments);
    va_end(arguments);
    return text;
}
