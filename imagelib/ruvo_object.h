#pragma once

// Root of every class in the image library: a virtual destructor and one
// further virtual operation that does nothing.
class CRuvoObject {
public:
    CRuvoObject() = default;
    CRuvoObject(const CRuvoObject&) = default;
    CRuvoObject& operator=(const CRuvoObject&) = default;
    virtual ~CRuvoObject() = default;

    virtual void Nothing() {}
};
