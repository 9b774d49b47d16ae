// The instance's parameters and state: every call into the data model is made under the
// instance's model lock, so a parameter read never overlaps an edit or a state load, whichever
// threads they come from. The processing path never takes that lock.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "AAX_SPlugInChunk.h"
#include "InstanceCore.h"

using namespace marovex_host;

namespace {

// Longest value text the host asks a parameter for.
constexpr int32_t kTextLength = 64;
constexpr uint32_t kMaxChunkSize = 1u << 26;
constexpr uint32_t kGuardBytes = 16;
constexpr uint8_t kGuardByte = 0xA5;

bool ByteGuardIntact(const uint8_t* guard) {
    for (uint32_t i = 0; i < kGuardBytes; ++i) {
        if (guard[i] != kGuardByte) return false;
    }
    return true;
}

}  // namespace

int32_t MarovexInstance::ParameterCount() const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    int32_t n = 0;
    std::string ignored;
    const bool ok = Guarded(&ignored, "GetNumberOfParameters", [&] {
        return c.params->GetNumberOfParameters(&n) == AAX_SUCCESS;
    });
    return ok && n > 0 ? n : 0;
}

bool MarovexInstance::FindParameterInfo(const std::string& id, MarovexParameterInfo* info, std::string* error) const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    return Guarded(error, "parameter query", [&] {
        AAX_IACFEffectParameters* p = c.params;
        const char* cid = id.c_str();
        MarovexParameterInfo r;
        r.id = id;
        int32_t index = -1;
        if (p->GetParameterIndex(cid, &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        HostString name;
        AAX_Result e = p->GetParameterName(cid, &name);
        if (e == AAX_SUCCESS) e = p->GetParameterType(cid, &r.type);
        AAX_CBoolean automatable = 0;
        if (e == AAX_SUCCESS) e = p->GetParameterIsAutomatable(cid, &automatable);
        if (e == AAX_SUCCESS) e = p->GetParameterNumberOfSteps(cid, &r.steps);
        if (e == AAX_SUCCESS) e = p->GetParameterDefaultNormalizedValue(cid, &r.defaultNormalized);
        HostString defaultText;
        if (e == AAX_SUCCESS) e = p->GetParameterStringFromValue(cid, r.defaultNormalized, &defaultText, kTextLength);
        if (e == AAX_SUCCESS) e = p->GetParameterNormalizedValue(cid, &r.normalized);
        HostString valueText;
        if (e == AAX_SUCCESS) e = p->GetParameterValueString(cid, &valueText, kTextLength);
        if (e != AAX_SUCCESS) {
            SetError(error, "the plug-in answered " + Code(e) + " about parameter \"" + id + "\"");
            return false;
        }
        r.name = name.Str();
        r.automatable = automatable != 0;
        r.defaultText = defaultText.Str();
        r.valueText = valueText.Str();
        if (info != nullptr) *info = std::move(r);
        return true;
    });
}

bool MarovexInstance::GetParameterInfo(int32_t index, MarovexParameterInfo* info, std::string* error) const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    std::string id;
    const bool found = Guarded(error, "GetParameterIDFromIndex", [&] {
        HostString text;
        const AAX_Result r = c.params->GetParameterIDFromIndex(index, &text);
        if (r != AAX_SUCCESS) {
            SetError(error, "no parameter at index " + std::to_string(index) + " (" + Code(r) + ")");
            return false;
        }
        id = text.Str();
        return true;
    });
    return found && FindParameterInfo(id, info, error);
}

bool MarovexInstance::GetParameterValue(const std::string& id, double* normalized, std::string* error) const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    return Guarded(error, "GetParameterNormalizedValue", [&] {
        double v = 0.0;
        const AAX_Result r = c.params->GetParameterNormalizedValue(id.c_str(), &v);
        if (r != AAX_SUCCESS) {
            SetError(error, "no value for parameter \"" + id + "\" (" + Code(r) + ")");
            return false;
        }
        if (normalized != nullptr) *normalized = v;
        return true;
    });
}

bool MarovexInstance::SetParameter(const std::string& id, double normalized, std::string* error) {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    if (!(normalized >= 0.0 && normalized <= 1.0)) {
        SetError(error, "normalized value " + std::to_string(normalized) + " for \"" + id + "\" is outside 0 to 1");
        return false;
    }
    return Guarded(error, "SetParameterNormalizedValue", [&] {
        int32_t index = -1;
        if (c.params->GetParameterIndex(id.c_str(), &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        const AAX_Result r = c.params->SetParameterNormalizedValue(id.c_str(), normalized);
        if (r != AAX_SUCCESS) {
            SetError(error, "setting \"" + id + "\" was answered with " + Code(r));
            return false;
        }
        c.Dispatch();
        return true;
    });
}

bool MarovexInstance::SetParameterFromText(const std::string& id, const std::string& text, std::string* error) {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    double value = 0.0;
    return ParameterValueFromText(id, text, &value, error) && SetParameter(id, value, error);
}

bool MarovexInstance::ParameterTextFromValue(const std::string& id, double normalized, std::string* text,
                                             std::string* error) const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    return Guarded(error, "GetParameterStringFromValue", [&] {
        HostString shown;
        const AAX_Result r = c.params->GetParameterStringFromValue(id.c_str(), normalized, &shown, kTextLength);
        if (r != AAX_SUCCESS) {
            SetError(error, "parameter \"" + id + "\" shows no text for " + std::to_string(normalized) + " (" +
                                Code(r) + ")");
            return false;
        }
        if (text != nullptr) *text = shown.Str();
        return true;
    });
}

bool MarovexInstance::ParameterValueFromText(const std::string& id, const std::string& text, double* normalized,
                                             std::string* error) const {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    double value = 0.0;
    const bool parsed = Guarded(error, "GetParameterValueFromString", [&] {
        int32_t index = -1;
        if (c.params->GetParameterIndex(id.c_str(), &index) != AAX_SUCCESS || index < 0) {
            SetError(error, "no parameter \"" + id + "\"");
            return false;
        }
        const HostString host(text.c_str());
        const AAX_Result r = c.params->GetParameterValueFromString(id.c_str(), &value, host);
        if (r != AAX_SUCCESS) {
            SetError(error, "\"" + text + "\" is not a value of parameter \"" + id + "\" (" + Code(r) + ")");
            return false;
        }
        return true;
    });
    if (parsed && normalized != nullptr) *normalized = value;
    return parsed;
}

// ---------------------------------------------------------------------------------------------
// State

bool MarovexInstance::CheckStateRecord(const uint8_t* data, size_t size, std::string* error) {
    if (data == nullptr || size < kAAX_ChunkHeaderSize) {
        SetError(error, "state record of " + std::to_string(size) + " bytes is shorter than its " +
                            std::to_string(kAAX_ChunkHeaderSize) + "-byte header");
        return false;
    }
    AAX_SPlugInChunkHeader header;
    std::memcpy(&header, data, sizeof header);
    if (header.mSize < 0 || static_cast<uint64_t>(header.mSize) + kAAX_ChunkHeaderSize != size) {
        SetError(error, "state record of " + std::to_string(size) + " bytes disagrees with its header (" +
                            std::to_string(kAAX_ChunkHeaderSize) + " + " + std::to_string(header.mSize) + " bytes)");
        return false;
    }
    return true;
}

namespace {

// A chunk record the plug-in may read: 8-byte aligned and never shorter than the declared record
// type, whatever the data size.
std::unique_ptr<uint64_t[]> ChunkCopy(const std::vector<uint8_t>& record) {
    const size_t bytes = std::max(record.size(), sizeof(AAX_SPlugInChunk));
    std::unique_ptr<uint64_t[]> copy(new uint64_t[(bytes + 7) / 8]());
    std::memcpy(copy.get(), record.data(), record.size());
    return copy;
}

}  // namespace

bool MarovexInstance::SaveState(std::vector<uint8_t>* record, std::string* error) {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    return Guarded(error, "SaveState", [&] {
        AAX_IACFEffectParameters* p = c.params;
        int32_t chunks = 0;
        AAX_Result r = p->GetNumberOfChunks(&chunks);
        if (r != AAX_SUCCESS || chunks < 1) {
            SetError(error, "the plug-in offers no state chunk");
            return false;
        }
        AAX_CTypeID id = 0;
        r = p->GetChunkIDFromIndex(0, &id);
        if (r != AAX_SUCCESS) {
            SetError(error, "GetChunkIDFromIndex answered " + Code(r));
            return false;
        }
        uint32_t size = 0;
        r = p->GetChunkSize(id, &size);
        if (r != AAX_SUCCESS || size > kMaxChunkSize) {
            SetError(error, "GetChunkSize answered " + Code(r) + " with " + std::to_string(size) + " bytes");
            return false;
        }
        // Room for the announced size, plus guard bytes that show a write past it.
        const size_t total = kAAX_ChunkHeaderSize + size;
        std::vector<uint8_t> buffer(std::max(total, sizeof(AAX_SPlugInChunk)) + kGuardBytes, kGuardByte);
        std::memset(buffer.data(), 0, total);
        std::unique_ptr<uint64_t[]> aligned = ChunkCopy(buffer);
        auto* chunk = reinterpret_cast<AAX_SPlugInChunk*>(aligned.get());
        chunk->mSize = static_cast<int32_t>(size);
        chunk->mChunkID = id;
        r = p->GetChunk(id, chunk);
        if (r != AAX_SUCCESS) {
            SetError(error, "GetChunk answered " + Code(r));
            return false;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(aligned.get());
        if (!ByteGuardIntact(bytes + buffer.size() - kGuardBytes)) {
            c.Problem(marovex_where::kDataModel, "the guard zone took the bytes beyond",
                      "GetChunk wrote past the %u bytes it announced", size);
        }
        if (chunk->mSize < 0 || static_cast<uint32_t>(chunk->mSize) > size) {
            SetError(error, "GetChunk wrote a data size of " + std::to_string(chunk->mSize) + " bytes, " +
                                std::to_string(size) + " were announced");
            return false;
        }
        record->assign(bytes, bytes + kAAX_ChunkHeaderSize + static_cast<size_t>(chunk->mSize));
        auto* header = reinterpret_cast<AAX_SPlugInChunkHeader*>(record->data());
        std::memset(header->mReserved, 0, sizeof header->mReserved);
        header->mChunkID = id;
        return true;
    });
}

bool MarovexInstance::LoadState(const std::vector<uint8_t>& record, std::string* error) {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    if (!CheckStateRecord(record.data(), record.size(), error)) {
        return false;
    }
    return Guarded(error, "SetChunk", [&] {
        std::unique_ptr<uint64_t[]> copy = ChunkCopy(record);
        const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(copy.get());
        const AAX_Result r = c.params->SetChunk(chunk->mChunkID, chunk);
        if (r != AAX_SUCCESS) {
            SetError(error, "the plug-in refused the state (SetChunk answered " + Code(r) + ")");
            return false;
        }
        c.Dispatch();
        return true;
    });
}

bool MarovexInstance::CompareState(const std::vector<uint8_t>& record, bool* equal, std::string* error) {
    InstanceCore& c = *mCore;
    const std::lock_guard<std::recursive_mutex> lock(c.modelMutex);
    if (!CheckStateRecord(record.data(), record.size(), error)) {
        return false;
    }
    return Guarded(error, "CompareActiveChunk", [&] {
        std::unique_ptr<uint64_t[]> copy = ChunkCopy(record);
        const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(copy.get());
        AAX_CBoolean same = 0;
        const AAX_Result r = c.params->CompareActiveChunk(chunk, &same);
        if (r != AAX_SUCCESS) {
            SetError(error, "CompareActiveChunk answered " + Code(r));
            return false;
        }
        if (equal != nullptr) *equal = same != 0;
        return true;
    });
}

bool MarovexInstance::SaveStateFile(const std::string& path, std::string* error) {
    std::vector<uint8_t> record;
    if (!SaveState(&record, error)) {
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    file.close();
    if (!file) {
        SetError(error, "cannot write state file " + path);
        return false;
    }
    return true;
}

bool MarovexInstance::LoadStateFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SetError(error, "cannot open state file " + path);
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxChunkSize + kAAX_ChunkHeaderSize) {
        SetError(error, "state file " + path + " is not a state record of a usable size");
        return false;
    }
    file.seekg(0, std::ios::beg);
    std::vector<uint8_t> record(static_cast<size_t>(length));
    file.read(reinterpret_cast<char*>(record.data()), length);
    if (!file) {
        SetError(error, "cannot read state file " + path);
        return false;
    }
    return LoadState(record, error);
}

