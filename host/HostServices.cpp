// What the objects of one module share, and the host services.
#include "HostServices.h"

#include "AAX_UIDs.h"

namespace marovex_host {

void ModuleShared::AddTrace(const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        traces.push_back(text);
    }
    if (options.echoTraces) MarovexReportProblem(marovex_where::kPluginTrace, text);
}

ACFRESULT HostServices::QueryInterface(const acfIID& iid, void** out) {
    if (out == nullptr) {
        return ACF_E_FAIL;
    }
    if (iid == IID_IACFUnknown || iid == IID_IAAXHostServicesV1 || iid == IID_IAAXHostServicesV2) {
        return Answer(this, out);
    }
    return NoInterface(out);
}

uint32_t HostServices::Release() {
    const uint32_t n = mRefs.Drop();
    if (n == 0) {
        delete this;
    }
    return n;
}

AAX_Result HostServices::HandleAssertFailure(const char* file, int32_t line, const char* note) const {
    mShared->AddTrace("assertion failed at " + TextOf(file) + ":" + std::to_string(line) + ": " + TextOf(note));
    return AAX_SUCCESS;
}

AAX_Result HostServices::Trace(int32_t, const char* message) const {
    mShared->AddTrace(TextOf(message));
    return AAX_SUCCESS;
}

AAX_Result HostServices::StackTrace(int32_t, int32_t, const char* message) const {
    mShared->AddTrace(TextOf(message));
    return AAX_SUCCESS;
}

}  // namespace marovex_host
