#include "AAX_CParameterManager.h"

#include <cstring>
#include <string_view>
#include <utility>

AAX_CParameterManager::AAX_CParameterManager() : mAutomationDelegate(nullptr), mParameters(), mParametersMap() {}

AAX_CParameterManager::~AAX_CParameterManager() { RemoveAllParameters(); }

void AAX_CParameterManager::Initialize(AAX_IAutomationDelegate* automationDelegate) {
    mAutomationDelegate = automationDelegate;
}

void AAX_CParameterManager::AddParameter(AAX_IParameter* param) {
    if (param == nullptr) return;
    const char* identifier = param->Identifier();
    if (identifier == nullptr) return;
    if (mParametersMap.find(std::string_view(identifier)) != mParametersMap.end()) return;

    // Everything that can fail comes before the host hears of the parameter: the map's entry is
    // built aside and the array makes room. Then the parameter registers with the host; should that
    // throw, it is in neither collection and stays the caller's. Listing it afterwards cannot fail.
    decltype(mParametersMap) staging;
    staging.emplace(identifier, param);
    auto entry = staging.extract(staging.begin());
    mParameters.reserve(mParameters.size() + 1);
    param->SetAutomationDelegate(mAutomationDelegate);
    mParameters.push_back(param);
    mParametersMap.insert(std::move(entry));
}

void AAX_CParameterManager::RemoveAllParameters() {
    // Detach the collections before deleting, so that a lookup made while a parameter unregisters
    // from the host finds nothing instead of a parameter being destroyed.
    std::vector<AAX_IParameter*> parameters;
    parameters.swap(mParameters);
    mParametersMap.clear();
    for (AAX_IParameter* param : parameters) {
        delete param;
    }
}

int32_t AAX_CParameterManager::NumParameters() const { return static_cast<int32_t>(mParameters.size()); }

AAX_IParameter* AAX_CParameterManager::GetParameterByID(AAX_CParamID identifier) {
    if (identifier == nullptr) return nullptr;
    const auto it = mParametersMap.find(std::string_view(identifier));
    return it != mParametersMap.end() ? it->second : nullptr;
}

const AAX_IParameter* AAX_CParameterManager::GetParameterByID(AAX_CParamID identifier) const {
    return const_cast<AAX_CParameterManager*>(this)->GetParameterByID(identifier);
}

int32_t AAX_CParameterManager::ControlIndexFromID(AAX_CParamID identifier) const {
    if (identifier == nullptr) return -1;
    for (size_t i = 0; i < mParameters.size(); ++i) {
        if (mParameters[i] != nullptr && std::strcmp(mParameters[i]->Identifier(), identifier) == 0) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

AAX_IParameter* AAX_CParameterManager::GetParameter(int32_t index) {
    if (index < 0 || index >= NumParameters()) return nullptr;
    return mParameters[static_cast<size_t>(index)];
}

const AAX_IParameter* AAX_CParameterManager::GetParameter(int32_t index) const {
    return const_cast<AAX_CParameterManager*>(this)->GetParameter(index);
}
