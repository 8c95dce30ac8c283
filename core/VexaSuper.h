// The common root of the program's polymorphic classes: a run-time class name
// and an is-kind-of test by name that walks up the chain of bases.
#pragma once

#include <cwchar>

class VexaSuper {
public:
    VexaSuper() = default;
    virtual ~VexaSuper() = default;

    virtual const wchar_t* className() const { return L"VexaSuper"; }

    // 1 when the object is of class `name` or derived from it (exact,
    // case-sensitive), else 0.
    virtual int isKindOf(const wchar_t* name) const { return sameName(name, L"VexaSuper"); }

protected:
    static int sameName(const wchar_t* name, const wchar_t* own) {
        return name != nullptr && std::wcscmp(name, own) == 0 ? 1 : 0;
    }
};

// Declares className and isKindOf for a class derived from `Base`:
//   class RecWord : public VexaSuper { VEXA_CLASS(RecWord, VexaSuper) ... };
#define VEXA_CLASS(Name, Base)                                                              \
public:                                                                                     \
    const wchar_t* className() const override { return L## #Name; }                         \
    int isKindOf(const wchar_t* name) const override {                                      \
        return sameName(name, L## #Name) ? 1 : Base::isKindOf(name);                        \
    }                                                                                       \
                                                                                            \
private:
