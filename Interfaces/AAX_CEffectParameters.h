// The data-model base for one plug-in instance: owns the parameter manager, the packet dispatcher
// and the state-chunk parser, holds the host wrappers obtained at initialisation, and answers every
// parameter query, update and chunk request of the host by looking the parameter up by identifier.
//
// An effect derives from it and overrides EffectInit (creating its parameters and packets) and, if
// its algorithm has private data, ResetFieldData.
//
// Threading, for every host-called operation below unless its comment says otherwise: the host calls
// it on one of its non-audio threads, never on the audio thread. The data model holds no lock of its
// own; the dispatcher's lock orders the parameter values and packet state between
// UpdateParameterNormalizedValue (and its relative form) and GenerateCoefficients, which may run on
// different threads. Everything else (parameters, parser, counters) must not be called from two
// threads at once.
// No operation lets an exception reach the host.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "AAX.h"
#include "AAX_CChunkDataParser.h"
#include "AAX_CPacketDispatcher.h"
#include "AAX_CParameterManager.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IController.h"
#include "AAX_IEffectParameters.h"
#include "AAX_ITransport.h"

// Identifier of the master bypass parameter: the host asks for it, and it is never saved in state.
extern const char* const cDefaultMasterBypassID;  // "MasterBypassID"
// Identifier of a preview-state parameter, set by the host's preview notification.
extern const char* const cPreviewID;  // "PreviewID"

class AAX_CEffectParameters : public AAX_IEffectParameters {
public:
    AAX_CEffectParameters();
    // Tears down what Uninitialize would if the host did not call it, then destroys the filtered
    // set, the parameter manager, the dispatcher and the parser.
    ~AAX_CEffectParameters() override;
    AAX_CEffectParameters(const AAX_CEffectParameters&) = delete;
    AAX_CEffectParameters& operator=(const AAX_CEffectParameters&) = delete;

    // --- Lifecycle ---
    // Wraps the host's controller, automation delegate and transport, hands the automation delegate
    // to the parameter manager, attaches the dispatcher, runs EffectInit and leaves the master
    // bypass out of saved state. Returns 0 or EffectInit's result. Called once per instance.
    AAX_Result Initialize(IACFUnknown* host) override;
    // Detaches the dispatcher from the controller, deletes every parameter, then the controller,
    // automation and transport wrappers. Returns 0. Later dispatches post nothing (-20004).
    AAX_Result Uninitialize() override;
    // 'ASPv' (preview state) sets the "PreviewID" parameter, if there is one, from the 32-bit value
    // at `data`. Every notification returns 0.
    AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;

    // --- Parameter queries (an unknown identifier gives -20001 unless stated otherwise) ---
    AAX_Result GetNumberOfParameters(int32_t* numParameters) const override;
    // Writes "MasterBypassID" when that parameter exists, else the empty text; always 0.
    AAX_Result GetMasterBypassParameter(AAX_IString* id) const override;
    AAX_Result GetParameterIsAutomatable(AAX_CParamID id, AAX_CBoolean* automatable) const override;
    // -20033 (nothing written) for a step count above the largest int32.
    AAX_Result GetParameterNumberOfSteps(AAX_CParamID id, int32_t* numSteps) const override;
    // An unknown identifier writes the empty text and still returns 0.
    AAX_Result GetParameterName(AAX_CParamID id, AAX_IString* name) const override;
    // The longest line of the shortened name that fits `length` characters, else its first `length`
    // characters. A null `name` gives -20002; an unknown identifier writes the empty text, 0.
    AAX_Result GetParameterNameOfLength(AAX_CParamID id, AAX_IString* name, int32_t length) const override;
    AAX_Result GetParameterDefaultNormalizedValue(AAX_CParamID id, double* value) const override;
    AAX_Result SetParameterDefaultNormalizedValue(AAX_CParamID id, double value) override;
    AAX_Result GetParameterType(AAX_CParamID id, AAX_EParameterType* type) const override;
    AAX_Result GetParameterOrientation(AAX_CParamID id, AAX_EParameterOrientation* orientation) const override;
    // Writes the parameter (null when unknown).
    AAX_Result GetParameter(AAX_CParamID id, AAX_IParameter** parameter) override;
    // Writes the control index even when it is -1.
    AAX_Result GetParameterIndex(AAX_CParamID id, int32_t* index) const override;
    // An index without parameter writes the empty text and returns -20001.
    AAX_Result GetParameterIDFromIndex(int32_t index, AAX_IString* id) const override;
    // Not offered: writes 0, returns -20009.
    AAX_Result GetParameterValueInfo(AAX_CParamID id, int32_t selector, int32_t* value) const override;
    // -20002 (value unchanged) when the text is unreadable or out of range.
    AAX_Result GetParameterValueFromString(AAX_CParamID id, double* value, const AAX_IString& text) const override;
    // -20002 (text unchanged) when the value cannot be shown.
    AAX_Result GetParameterStringFromValue(AAX_CParamID id, double value, AAX_IString* text,
                                           int32_t maxLength) const override;
    AAX_Result GetParameterValueString(AAX_CParamID id, AAX_IString* text, int32_t maxLength) const override;
    AAX_Result GetParameterNormalizedValue(AAX_CParamID id, double* value) const override;

    // --- Parameter changes ---
    // Sends the change to the host's automation (touch, set request, release); the value changes
    // when the host answers with UpdateParameterNormalizedValue, possibly before this returns.
    AAX_Result SetParameterNormalizedValue(AAX_CParamID id, double value) override;
    // current + delta, clamped to 0..1, then SetParameterNormalizedValue.
    AAX_Result SetParameterNormalizedRelative(AAX_CParamID id, double delta) override;
    AAX_Result TouchParameter(AAX_CParamID id) override;
    AAX_Result ReleaseParameter(AAX_CParamID id) override;
    // Does nothing; 0.
    AAX_Result UpdateParameterTouch(AAX_CParamID id, AAX_CBoolean touchState) override;
    // The host's answer to a set request (or its own automation): stores the value and marks the
    // parameter's packet dirty, both under the dispatcher's lock (it may wait for a running dispatch
    // on another thread, and PostCurrentValue reaches the host with the lock held), then counts one
    // change.
    AAX_Result UpdateParameterNormalizedValue(AAX_CParamID id, double value, AAX_EUpdateSource source) override;
    // current + delta, clamped to 0..1, then UpdateParameterNormalizedValue.
    AAX_Result UpdateParameterNormalizedRelative(AAX_CParamID id, double delta) override;

    // --- Processing support ---
    // Fills and posts every dirty packet (the dispatcher's Dispatch, under its lock).
    AAX_Result GenerateCoefficients() override;
    // Zeroes `dataSize` bytes; 0. Threading: any thread; writes only the memory it is handed.
    AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t dataSize) const override;

    // --- State chunk: one chunk 'elck', "Complete Controls State" ---
    AAX_Result GetNumberOfChunks(int32_t* numChunks) const override;
    // Index 0 gives 'elck'; any other writes 0 and returns -20006.
    AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* chunkID) const override;
    // Builds the chunk data and reports its byte count (from offset 56 of the record on). Another
    // identifier writes 0 and returns -20007.
    AAX_Result GetChunkSize(AAX_CTypeID chunkID, uint32_t* size) const override;
    // Writes the chunk; -20008 (nothing written) when no GetChunkSize came first or the size has
    // changed since; -20007 for another identifier; -333 when the data cannot be written.
    AAX_Result GetChunk(AAX_CTypeID chunkID, AAX_SPlugInChunk* chunk) const override;
    // Restores every stored, unfiltered parameter through its normal change request. Reads no more
    // than chunk->mSize bytes of data whatever they contain. Returns 0, or -20007.
    AAX_Result SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk) override;
    // Writes 1 when every unfiltered parameter equals its stored value (at single precision) or the
    // chunk is not an 'elck' chunk, else 0. Returns 0.
    AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk, AAX_CBoolean* isEqual) const override;
    // The number of parameter updates so far.
    AAX_Result GetNumberOfChanges(int32_t* numChanges) const override;

    // --- Defaults: do nothing (0) or report the operation as not offered (-20009) ---
    AAX_Result TimerWakeup() override;
    AAX_Result GetCurveData(AAX_CTypeID curveType, const float* values, uint32_t numValues,
                            float* outValues) const override;
    AAX_Result GetCustomData(AAX_CTypeID dataBlockID, uint32_t dataSize, void* data,
                             uint32_t* dataWritten) const override;
    AAX_Result SetCustomData(AAX_CTypeID dataBlockID, uint32_t dataSize, const void* data) override;
    AAX_Result DoMIDITransfers() override;
    AAX_Result RenderAudio_Hybrid(AAX_SHybridRenderInfo* renderInfo) override;
    AAX_Result UpdateMIDINodes(AAX_CFieldIndex field, AAX_CMidiPacket& packet) override;
    AAX_Result UpdateControlMIDINodes(AAX_CTypeID nodeID, AAX_CMidiPacket& packet) override;
    AAX_Result GetCurveDataMeterIds(AAX_CTypeID curveType, uint32_t* xMeterID, uint32_t* yMeterID) const override;
    AAX_Result GetCurveDataDisplayRange(AAX_CTypeID curveType, float* xMin, float* xMax, float* yMin,
                                        float* yMax) const override;

    // Creates the effect's parameters and registers their packets; 0 here. Run once by Initialize.
    virtual AAX_Result EffectInit();

    // The host controller wrapper; null before Initialize and after Uninitialize.
    AAX_IController* Controller() { return mController; }
    const AAX_IController* Controller() const { return mController; }

    // Leaves the identifier out of the state chunk (saving, restoring, comparing); null is ignored.
    void FilterParameterIDOnSave(const char* id);
    // Fills the parser with the value of every unfiltered parameter, in control-index order.
    void BuildChunkData() const;

protected:
    int32_t mNumPlugInChanges;
    mutable int32_t mChunkSize;
    mutable AAX_CChunkDataParser mChunkParser;
    AAX_CPacketDispatcher mPacketDispatcher;
    AAX_CParameterManager mParameterManager;
    std::set<std::string, std::less<>> mFilteredParameters;

private:
    bool IsFiltered(const char* id) const;
    void ReleaseHost();

    AAX_IController* mController;
    AAX_ITransport* mTransport;
    AAX_IAutomationDelegate* mAutomationDelegate;
};
