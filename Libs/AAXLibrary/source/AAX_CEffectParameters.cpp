#include "AAX_CEffectParameters.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "AAX_CString.h"
#include "AAX_Guarded.h"
#include "AAX_IParameter.h"
#include "AAX_VAutomationDelegate.h"
#include "AAX_VController.h"
#include "AAX_VTransport.h"

const char* const cDefaultMasterBypassID = "MasterBypassID";
const char* const cPreviewID = "PreviewID";

namespace {

double ClampNormalized(double value) {
    value = value > 1.0 ? 1.0 : value;
    return value < 0.0 ? 0.0 : value;
}

// The longest text GetParameterNameOfLength looks at.
constexpr size_t kMaxNameText = 255;

}  // namespace

AAX_CEffectParameters::AAX_CEffectParameters()
    : mNumPlugInChanges(0),
      mChunkSize(0),
      mController(nullptr),
      mTransport(nullptr),
      mAutomationDelegate(nullptr) {}

AAX_CEffectParameters::~AAX_CEffectParameters() {
    // A host that releases the instance without Uninitialize would otherwise leak the wrappers and
    // the host references they hold.
    if (mController != nullptr || mAutomationDelegate != nullptr || mTransport != nullptr) {
        ReleaseHost();
    }
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

AAX_Result AAX_CEffectParameters::Initialize(IACFUnknown* host) {
    return AAX_Guarded([&]() -> AAX_Result {
        mController = new AAX_VController(host);
        mAutomationDelegate = new AAX_VAutomationDelegate(host);
        mTransport = new AAX_VTransport(host);
        mParameterManager.Initialize(mAutomationDelegate);
        mPacketDispatcher.Initialize(mController, this);
        const AAX_Result result = EffectInit();
        if (result != AAX_SUCCESS) {
            return result;
        }
        AAX_CString bypassID;
        const AAX_Result bypassResult = GetMasterBypassParameter(&bypassID);
        if (bypassResult != AAX_SUCCESS) {
            return bypassResult;
        }
        FilterParameterIDOnSave(bypassID.Get());
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::Uninitialize() {
    return AAX_Guarded([&]() -> AAX_Result {
        ReleaseHost();
        return AAX_SUCCESS;
    });
}

void AAX_CEffectParameters::ReleaseHost() {
    // The dispatcher lets go of the controller first, under its lock, so that no dispatch can use the
    // wrapper deleted below.
    mPacketDispatcher.Initialize(nullptr, this);
    mParameterManager.RemoveAllParameters();
    mParameterManager.Initialize(nullptr);
    delete mController;
    mController = nullptr;
    delete mAutomationDelegate;
    mAutomationDelegate = nullptr;
    delete mTransport;
    mTransport = nullptr;
}

AAX_Result AAX_CEffectParameters::EffectInit() { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) {
    return AAX_Guarded([&]() -> AAX_Result {
        if (type != cAAX_NotificationPreviewState || data == nullptr || size < sizeof(int32_t)) {
            return AAX_SUCCESS;
        }
        if (AAX_IParameter* preview = mParameterManager.GetParameterByID(cPreviewID)) {
            int32_t state = 0;
            std::memcpy(&state, data, sizeof state);
            preview->SetValueWithBool(state != 0);
        }
        return AAX_SUCCESS;
    });
}

// ---------------------------------------------------------------------------------------------
// Parameter queries

AAX_Result AAX_CEffectParameters::GetNumberOfParameters(int32_t* numParameters) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (numParameters == nullptr) return AAX_ERROR_NULL_OBJECT;
        *numParameters = mParameterManager.NumParameters();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetMasterBypassParameter(AAX_IString* id) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            id->Set(mParameterManager.GetParameterByID(cDefaultMasterBypassID) != nullptr ? cDefaultMasterBypassID : "");
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* automatable) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (automatable == nullptr) return AAX_ERROR_NULL_OBJECT;
        *automatable = 0;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        *automatable = parameter->Automatable() ? 1 : 0;
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterNumberOfSteps(AAX_CParamID id, int32_t* numSteps) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (numSteps == nullptr) return AAX_ERROR_NULL_OBJECT;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        const uint32_t steps = parameter->GetNumberOfSteps();
        if (steps > uint32_t(std::numeric_limits<int32_t>::max())) return AAX_ERROR_SIGNED_INT_OVERFLOW;
        *numSteps = int32_t(steps);
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterName(AAX_CParamID id, AAX_IString* name) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (name == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
            name->Set(parameter != nullptr ? parameter->Name().Get() : "");
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name, int32_t length) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (name == nullptr) return AAX_ERROR_INVALID_STRING_CONVERSION;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
            if (parameter == nullptr) {
                name->Set("");
                return AAX_SUCCESS;
            }
            const AAX_CString& shortened = parameter->ShortenedName(length);
            const std::string& full = shortened.StdString();
            const std::string text = full.substr(0, std::min(full.size(), kMaxNameText));
            if (text.empty()) {
                return AAX_SUCCESS;
            }
            // The longest line that fits (the first of equal lengths); a name may offer several
            // alternatives, one per line.
            std::string best;
            size_t start = 0;
            while (start <= text.size()) {
                size_t end = text.find('\n', start);
                if (end == std::string::npos) end = text.size();
                const size_t lineLength = end - start;
                if (length >= 1 && lineLength >= 1 && lineLength <= size_t(length) && lineLength > best.size()) {
                    best = text.substr(start, lineLength);
                }
                start = end + 1;
            }
            if (!best.empty()) {
                name->Set(best.c_str());
            } else if (length < 1) {
                name->Set("");
            } else {
                shortened.SubString(0, uint32_t(length), name);
            }
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        *value = parameter->GetNormalizedDefaultValue();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::SetParameterDefaultNormalizedValue(AAX_CParamID id, double value) {
    return AAX_Guarded([&]() -> AAX_Result {
        AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        parameter->SetNormalizedDefaultValue(value);
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (type == nullptr) return AAX_ERROR_NULL_OBJECT;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        *type = parameter->GetType();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterOrientation(AAX_CParamID id,
                                                          AAX_EParameterOrientation* orientation) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (orientation == nullptr) return AAX_ERROR_NULL_OBJECT;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        *orientation = parameter->GetOrientation();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetParameter(AAX_CParamID id, AAX_IParameter** parameter) {
    return AAX_Guarded([&]() -> AAX_Result {
        if (parameter == nullptr) return AAX_ERROR_NULL_OBJECT;
        *parameter = mParameterManager.GetParameterByID(id);
        return *parameter != nullptr ? AAX_SUCCESS : AAX_ERROR_INVALID_PARAMETER_ID;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterIndex(AAX_CParamID id, int32_t* index) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (index == nullptr) return AAX_ERROR_NULL_OBJECT;
        *index = mParameterManager.ControlIndexFromID(id);
        return *index >= 0 ? AAX_SUCCESS : AAX_ERROR_INVALID_PARAMETER_ID;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterIDFromIndex(int32_t index, AAX_IString* id) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameter(index);
            id->Set(parameter != nullptr ? parameter->Identifier() : "");
            return parameter != nullptr ? AAX_SUCCESS : AAX_ERROR_INVALID_PARAMETER_ID;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterValueInfo(AAX_CParamID, int32_t, int32_t* value) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (value != nullptr) *value = 0;
        return AAX_ERROR_UNIMPLEMENTED;
    });
}

AAX_Result AAX_CEffectParameters::GetParameterValueFromString(AAX_CParamID id, double* value,
                                                              const AAX_IString& text) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (value == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
            if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
            double converted = 0.0;
            if (!parameter->GetNormalizedValueFromString(AAX_CString(text), &converted)) {
                return AAX_ERROR_INVALID_STRING_CONVERSION;
            }
            *value = converted;
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                                              int32_t maxLength) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (text == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
            if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
            AAX_CString converted;
            if (!parameter->GetStringFromNormalizedValue(value, maxLength, converted)) {
                return AAX_ERROR_INVALID_STRING_CONVERSION;
            }
            text->Set(converted.Get());
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterValueString(AAX_CParamID id, AAX_IString* text,
                                                          int32_t maxLength) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (text == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
            if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
            AAX_CString shown;
            parameter->GetValueString(maxLength, &shown);
            text->Set(shown.Get());
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetParameterNormalizedValue(AAX_CParamID id, double* value) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (value == nullptr) return AAX_ERROR_NULL_OBJECT;
        const AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        *value = parameter->GetNormalizedValue();
        return AAX_SUCCESS;
    });
}

// ---------------------------------------------------------------------------------------------
// Parameter changes

AAX_Result AAX_CEffectParameters::SetParameterNormalizedValue(AAX_CParamID id, double value) {
    return AAX_Guarded([&]() -> AAX_Result {
        AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        parameter->SetNormalizedValue(value);
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::SetParameterNormalizedRelative(AAX_CParamID id, double delta) {
    return AAX_Guarded([&]() -> AAX_Result {
        double current = 0.0;
        const AAX_Result result = GetParameterNormalizedValue(id, &current);
        if (result != AAX_SUCCESS) return result;
        return SetParameterNormalizedValue(id, ClampNormalized(delta + current));
    });
}

AAX_Result AAX_CEffectParameters::TouchParameter(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        parameter->Touch();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::ReleaseParameter(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        parameter->Release();
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::UpdateParameterTouch(AAX_CParamID, AAX_CBoolean) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::UpdateParameterNormalizedValue(AAX_CParamID id, double value, AAX_EUpdateSource) {
    return AAX_Guarded([&]() -> AAX_Result {
        AAX_IParameter* parameter = mParameterManager.GetParameterByID(id);
        if (parameter == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
        // The packet handlers read parameter values under the dispatcher's lock, possibly on another
        // thread: store the value and mark the packet dirty under the same lock.
        const AAX_CPacketDispatcher::Guard guard(mPacketDispatcher);
        parameter->UpdateNormalizedValue(value);
        const AAX_Result result = mPacketDispatcher.SetDirty(id, true);
        // Counts past the largest int32 wrap to negative values (which GetNumberOfChanges then withholds)
        // instead of overflowing.
        mNumPlugInChanges = static_cast<int32_t>(static_cast<uint32_t>(mNumPlugInChanges) + 1u);
        return result;
    });
}

AAX_Result AAX_CEffectParameters::UpdateParameterNormalizedRelative(AAX_CParamID id, double delta) {
    return AAX_Guarded([&]() -> AAX_Result {
        double current = 0.0;
        const AAX_Result result = GetParameterNormalizedValue(id, &current);
        if (result != AAX_SUCCESS) return result;
        return UpdateParameterNormalizedValue(id, ClampNormalized(delta + current), AAX_eUpdateSource_Unspecified);
    });
}

AAX_Result AAX_CEffectParameters::GetNumberOfChanges(int32_t* numChanges) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (numChanges != nullptr && mNumPlugInChanges >= 0) *numChanges = mNumPlugInChanges;
        return AAX_SUCCESS;
    });
}

// ---------------------------------------------------------------------------------------------
// Processing support

AAX_Result AAX_CEffectParameters::GenerateCoefficients() {
    return AAX_Guarded([&] { return mPacketDispatcher.Dispatch(); });
}

AAX_Result AAX_CEffectParameters::ResetFieldData(AAX_CFieldIndex, void* data, uint32_t dataSize) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (data != nullptr) std::memset(data, 0, dataSize);
        return AAX_SUCCESS;
    });
}

// ---------------------------------------------------------------------------------------------
// State chunk

void AAX_CEffectParameters::FilterParameterIDOnSave(const char* id) {
    if (id != nullptr) mFilteredParameters.insert(std::string(id));
}

bool AAX_CEffectParameters::IsFiltered(const char* id) const {
    return id == nullptr || mFilteredParameters.find(std::string_view(id)) != mFilteredParameters.end();
}

void AAX_CEffectParameters::BuildChunkData() const {
    mChunkParser.Clear();
    for (int32_t index = 0; index < mParameterManager.NumParameters(); ++index) {
        const AAX_IParameter* parameter = mParameterManager.GetParameter(index);
        if (parameter == nullptr || IsFiltered(parameter->Identifier())) continue;
        const char* id = parameter->Identifier();
        float floatValue = 0.0f;
        int32_t intValue = 0;
        bool boolValue = false;
        double doubleValue = 0.0;
        AAX_CString stringValue;
        if (parameter->GetValueAsFloat(&floatValue)) {
            mChunkParser.AddDouble(id, double(floatValue));
        } else if (parameter->GetValueAsInt32(&intValue)) {
            mChunkParser.AddInt32(id, intValue);
        } else if (parameter->GetValueAsBool(&boolValue)) {
            mChunkParser.AddInt32(id, boolValue ? 1 : 0);
        } else if (parameter->GetValueAsDouble(&doubleValue)) {
            mChunkParser.AddDouble(id, doubleValue);
        } else if (parameter->GetValueAsString(&stringValue)) {
            mChunkParser.AddString(id, stringValue);
        }
    }
}

AAX_Result AAX_CEffectParameters::GetNumberOfChunks(int32_t* numChunks) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (numChunks == nullptr) return AAX_ERROR_NULL_OBJECT;
        *numChunks = 1;
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetChunkIDFromIndex(int32_t index, AAX_CTypeID* chunkID) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (chunkID == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (index != 0) {
            *chunkID = 0;
            return AAX_ERROR_INVALID_CHUNK_INDEX;
        }
        *chunkID = cControlsChunkID;
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::GetChunkSize(AAX_CTypeID chunkID, uint32_t* size) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (size == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (chunkID != cControlsChunkID) {
            *size = 0;
            return AAX_ERROR_INVALID_CHUNK_ID;
        }
        return AAX_Guarded([&]() -> AAX_Result {
            BuildChunkData();
            mChunkSize = mChunkParser.GetChunkDataSize();
            if (mChunkSize < 0) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
            *size = uint32_t(mChunkSize);
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::GetChunk(AAX_CTypeID chunkID, AAX_SPlugInChunk* chunk) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (chunkID != cControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
        if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            BuildChunkData();
            if (mChunkSize == 0 || mChunkParser.GetChunkDataSize() != mChunkSize) {
                return AAX_ERROR_INCORRECT_CHUNK_SIZE;
            }
            chunk->mVersion = -1;
            std::memset(chunk->mName, 0, sizeof chunk->mName);
            static_assert(sizeof(CONTROLS_CHUNK_DESCRIPTION) <= sizeof(AAX_SPlugInChunk::mName), "chunk name fits");
            std::memcpy(chunk->mName, CONTROLS_CHUNK_DESCRIPTION, sizeof(CONTROLS_CHUNK_DESCRIPTION) - 1);
            return mChunkParser.GetChunkData(chunk);
        });
    });
}

AAX_Result AAX_CEffectParameters::SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk) {
    return AAX_Guarded([&]() -> AAX_Result {
        if (chunkID != cControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
        if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
        return AAX_Guarded([&]() -> AAX_Result {
            mChunkParser.LoadChunk(chunk);
            for (int32_t index = 0; index < mParameterManager.NumParameters(); ++index) {
                AAX_IParameter* parameter = mParameterManager.GetParameter(index);
                if (parameter == nullptr || IsFiltered(parameter->Identifier())) continue;
                const char* id = parameter->Identifier();
                // The first accessor that works decides which kind of entry may restore the parameter.
                float floatValue = 0.0f;
                int32_t intValue = 0;
                bool boolValue = false;
                double doubleValue = 0.0;
                AAX_CString stringValue;
                if (parameter->GetValueAsFloat(&floatValue)) {
                    if (mChunkParser.FindDouble(id, &doubleValue)) parameter->SetValueWithFloat(float(doubleValue));
                } else if (parameter->GetValueAsInt32(&intValue)) {
                    if (mChunkParser.FindInt32(id, &intValue)) parameter->SetValueWithInt32(intValue);
                } else if (parameter->GetValueAsBool(&boolValue)) {
                    if (mChunkParser.FindInt32(id, &intValue)) parameter->SetValueWithBool(intValue != 0);
                } else if (parameter->GetValueAsDouble(&doubleValue)) {
                    if (mChunkParser.FindDouble(id, &doubleValue)) parameter->SetValueWithDouble(doubleValue);
                } else if (parameter->GetValueAsString(&stringValue)) {
                    if (mChunkParser.FindString(id, &stringValue)) parameter->SetValueWithString(stringValue);
                }
            }
            return AAX_SUCCESS;
        });
    });
}

AAX_Result AAX_CEffectParameters::CompareActiveChunk(const AAX_SPlugInChunk* chunk, AAX_CBoolean* isEqual) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (chunk == nullptr || isEqual == nullptr) return AAX_ERROR_NULL_OBJECT;
        if (chunk->mChunkID != cControlsChunkID) {
            *isEqual = 1;
            return AAX_SUCCESS;
        }
        *isEqual = 0;
        return AAX_Guarded([&]() -> AAX_Result {
            mChunkParser.LoadChunk(chunk);
            if (mParameterManager.NumParameters() == 0) {
                *isEqual = 1;
                return AAX_SUCCESS;
            }
            for (int32_t index = 0; index < mParameterManager.NumParameters(); ++index) {
                const AAX_IParameter* parameter = mParameterManager.GetParameter(index);
                if (parameter == nullptr || IsFiltered(parameter->Identifier())) continue;
                const char* id = parameter->Identifier();
                float floatValue = 0.0f;
                int32_t intValue = 0;
                bool boolValue = false;
                double doubleValue = 0.0;
                AAX_CString stringValue;
                double storedDouble = 0.0;
                int32_t storedInt = 0;
                AAX_CString storedString;
                bool matches = true;  // a parameter without any accessor matches
                if (parameter->GetValueAsFloat(&floatValue)) {
                    matches = mChunkParser.FindDouble(id, &storedDouble) && float(storedDouble) == floatValue;
                } else if (parameter->GetValueAsInt32(&intValue)) {
                    matches = mChunkParser.FindInt32(id, &storedInt) && storedInt == intValue;
                } else if (parameter->GetValueAsBool(&boolValue)) {
                    matches = mChunkParser.FindInt32(id, &storedInt) && (storedInt != 0) == boolValue;
                } else if (parameter->GetValueAsDouble(&doubleValue)) {
                    matches = mChunkParser.FindDouble(id, &storedDouble) && float(storedDouble) == float(doubleValue);
                } else if (parameter->GetValueAsString(&stringValue)) {
                    matches = mChunkParser.FindString(id, &storedString) && storedString == stringValue;
                }
                if (!matches) return AAX_SUCCESS;
            }
            *isEqual = 1;
            return AAX_SUCCESS;
        });
    });
}

// ---------------------------------------------------------------------------------------------
// Defaults

AAX_Result AAX_CEffectParameters::TimerWakeup() { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::GetCurveData(AAX_CTypeID, const float*, uint32_t, float*) const {
    return AAX_Guarded([&]() -> AAX_Result {
        return AAX_ERROR_UNIMPLEMENTED;
    });
}

AAX_Result AAX_CEffectParameters::GetCustomData(AAX_CTypeID, uint32_t, void*, uint32_t* dataWritten) const {
    return AAX_Guarded([&]() -> AAX_Result {
        if (dataWritten != nullptr) *dataWritten = 0;
        return AAX_SUCCESS;
    });
}

AAX_Result AAX_CEffectParameters::SetCustomData(AAX_CTypeID, uint32_t, const void*) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::DoMIDITransfers() { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::RenderAudio_Hybrid(AAX_SHybridRenderInfo*) { return AAX_ERROR_UNIMPLEMENTED; }

AAX_Result AAX_CEffectParameters::UpdateMIDINodes(AAX_CFieldIndex, AAX_CMidiPacket&) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::UpdateControlMIDINodes(AAX_CTypeID, AAX_CMidiPacket&) { return AAX_SUCCESS; }

AAX_Result AAX_CEffectParameters::GetCurveDataMeterIds(AAX_CTypeID, uint32_t*, uint32_t*) const {
    return AAX_Guarded([&]() -> AAX_Result {
        return AAX_ERROR_UNIMPLEMENTED;
    });
}

AAX_Result AAX_CEffectParameters::GetCurveDataDisplayRange(AAX_CTypeID, float*, float*, float*, float*) const {
    return AAX_Guarded([&]() -> AAX_Result {
        return AAX_ERROR_UNIMPLEMENTED;
    });
}
