// The container of an effect instance's parameters: owns them, keeps them in order of addition (the
// host's control index) and hands each added parameter the host's automation delegate.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "AAX.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IParameter.h"

// Threading: no lock. The set of parameters is filled once when the instance is initialised and
// emptied when it is torn down; in between, lookups only read and may run on any host thread.
class AAX_CParameterManager {
public:
    AAX_CParameterManager();
    AAX_CParameterManager(const AAX_CParameterManager&) = delete;
    AAX_CParameterManager& operator=(const AAX_CParameterManager&) = delete;
    // Deletes every parameter (RemoveAllParameters).
    ~AAX_CParameterManager();

    // Stores the delegate handed to parameters added from now on; earlier ones are not updated.
    void Initialize(AAX_IAutomationDelegate* automationDelegate);

    // Takes ownership of `param` and connects it to the automation delegate. A null pointer or an
    // identifier already present is ignored, and the rejected parameter stays the caller's.
    void AddParameter(AAX_IParameter* param);
    // Deletes every parameter in order of addition (each unregisters from the host's automation).
    void RemoveAllParameters();

    int32_t NumParameters() const;
    // Null for a null or unknown identifier.
    AAX_IParameter* GetParameterByID(AAX_CParamID identifier);
    const AAX_IParameter* GetParameterByID(AAX_CParamID identifier) const;
    // The control index, or -1 for a null or unknown identifier.
    int32_t ControlIndexFromID(AAX_CParamID identifier) const;
    // Null when the index is negative or not below NumParameters().
    AAX_IParameter* GetParameter(int32_t index);
    const AAX_IParameter* GetParameter(int32_t index) const;

private:
    AAX_IAutomationDelegate* mAutomationDelegate;
    std::vector<AAX_IParameter*> mParameters;
    std::map<std::string, AAX_IParameter*, std::less<>> mParametersMap;
};
