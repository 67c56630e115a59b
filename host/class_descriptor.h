// The host's class descriptor: how a module tells the host which class it offers and makes
// instances of it. The host calls the fifteen operations by position, so their order is part of
// the interface. The nine defaults are fixed answers that every module supplies itself.
#pragma once

#include <cstdint>

struct ClassIdPair {
    std::uint32_t a;
    std::uint32_t b;
};
static_assert(sizeof(ClassIdPair) == 8, "a class id is two 32-bit words");

class ClassDescriptor {
public:
    virtual int FlagQuery() = 0;
    virtual void* Create(std::uint32_t value) = 0;
    virtual int QueryA(std::uint32_t) { return 0; }
    virtual int QueryB(std::uint32_t) { return 0; }
    virtual const char* ClassName() = 0;
    virtual std::uint32_t SuperClassId() = 0;
    virtual ClassIdPair ClassId() = 0;
    virtual const char* Category() = 0;
    virtual int QueryC(std::uint32_t) { return 1; }
    virtual int QueryD() { return 0; }
    virtual void NoticeA(std::uint32_t) {}
    virtual void NoticeB(std::uint32_t) {}
    virtual int QueryE() { return 0; }
    virtual int QueryF(std::uint32_t) { return 0; }
    virtual int QueryG(std::uint32_t) { return 0; }

protected:
    // Descriptors are static objects of their modules and are never destroyed through this class.
    ~ClassDescriptor() = default;
};
