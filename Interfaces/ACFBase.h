// The component framework's base: identifiers, the root interface and the component factory.
#pragma once

#include <cstdint>
#include <cstring>

#include "AAX.h"

typedef AAX_Result ACFRESULT;

// A 16-byte interface or class identifier. Two identifiers match only when all sixteen bytes are equal.
struct _acfUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(_acfUID) == 16, "identifiers are 16 bytes");
typedef _acfUID acfIID;
typedef _acfUID acfCLSID;

inline bool operator==(const _acfUID& a, const _acfUID& b) { return std::memcmp(&a, &b, sizeof(_acfUID)) == 0; }
inline bool operator!=(const _acfUID& a, const _acfUID& b) { return !(a == b); }

// The root interface of every reference-counted component object.
// Threading: AddRef and Release may be called from any thread.
class IACFUnknown {
public:
    virtual ACFRESULT QueryInterface(const acfIID& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IACFUnknown() = default;
};

// Creates host components by class identifier (description objects, host services).
class IACFComponentFactory : public IACFUnknown {
public:
    virtual ACFRESULT CreateComponent(const acfCLSID& classID, IACFUnknown* outer, const acfIID& iid, void** out) = 0;

protected:
    ~IACFComponentFactory() = default;
};

// The plug-in definition handed back to the host from registration (the host's collection answers it).
class IACFPluginDefinition : public IACFUnknown {
protected:
    ~IACFPluginDefinition() = default;
};

class IACFComponentDefinition : public IACFUnknown {
protected:
    ~IACFComponentDefinition() = default;
};
