// libFuzzer target: the bytes of one input are the data of a state chunk, handed over in a record
// allocated to exactly its size. Each input is loaded by a bare parser, then restored into and
// compared with a live data model that a fake host drives through its normal update path. After a
// restore, saving the state and comparing with it must report equal, and every value must be in
// range; anything else stops the run.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "AAX_CChunkDataParser.h"
#include "AAX_SPlugInChunk.h"
#include "Libs/test_model_fake_host.h"
#include "Tandrel_Coefs.h"
#include "Tandrel_Parameters.h"

namespace {

struct LiveModel {
    fakehost::Host host;
    Tandrel_Parameters* model = nullptr;

    LiveModel() {
        model = static_cast<Tandrel_Parameters*>(Tandrel_Parameters::Create());
        model->AddRef();
        host.automation.answerSetRequestsWith = model;
        if (model->Initialize(&host) != AAX_SUCCESS) std::abort();
    }
};

LiveModel& Live() {
    static LiveModel* live = new LiveModel();  // lives for the whole run
    return *live;
}

std::unique_ptr<unsigned char[]> MakeRecord(const uint8_t* data, size_t size, AAX_CTypeID type) {
    std::unique_ptr<unsigned char[]> storage(new unsigned char[kAAX_ChunkHeaderSize + size]);
    std::memset(storage.get(), 0, kAAX_ChunkHeaderSize);
    if (data != nullptr && size > 0) std::memcpy(storage.get() + kAAX_ChunkHeaderSize, data, size);
    auto* chunk = reinterpret_cast<AAX_SPlugInChunk*>(storage.get());
    chunk->mSize = static_cast<int32_t>(size);
    chunk->mVersion = 1;
    chunk->mChunkID = type;
    return storage;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    auto storage = MakeRecord(data, size, cControlsChunkID);
    const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(storage.get());

    AAX_CChunkDataParser parser;
    parser.LoadChunk(chunk);
    for (const auto& value : parser.Values()) {
        if (value.mDataName.Length() > AAX_CChunkDataParser::kMaxTaggedNameLength) std::abort();
    }

    Tandrel_Parameters* model = Live().model;
    if (model->SetChunk(cControlsChunkID, chunk) != AAX_SUCCESS) std::abort();
    AAX_CBoolean equal = 0;
    if (model->CompareActiveChunk(chunk, &equal) != AAX_SUCCESS) std::abort();

    for (const STandrel_ParameterRow& row : kTandrel_FloatParameters) {
        double value = -1.0;
        model->GetParameterNormalizedValue(row.mID, &value);
        if (!(value >= 0.0 && value <= 1.0)) std::abort();
    }

    // What was restored saves and compares as equal.
    uint32_t savedSize = 0;
    if (model->GetChunkSize(cControlsChunkID, &savedSize) != AAX_SUCCESS || savedSize != 144) std::abort();
    auto saved = MakeRecord(nullptr, savedSize, cControlsChunkID);
    auto* savedChunk = reinterpret_cast<AAX_SPlugInChunk*>(saved.get());
    if (model->GetChunk(cControlsChunkID, savedChunk) != AAX_SUCCESS) std::abort();
    savedChunk->mChunkID = cControlsChunkID;
    if (model->CompareActiveChunk(savedChunk, &equal) != AAX_SUCCESS || equal != 1) std::abort();

    // Packets keep flowing for whatever was restored.
    model->GenerateCoefficients();
    Live().host.controller.posts.clear();
    Live().host.automation.events.clear();
    return 0;
}
