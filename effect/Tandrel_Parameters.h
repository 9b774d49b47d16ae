// The effect's data model: the nine parameters, their packets, and the coefficient blocks of the
// two frequency parameters. Everything else is the base's.
#pragma once

#include "AAX_CEffectParameters.h"
#include "AAX_CPacketDispatcher.h"

class Tandrel_Parameters : public AAX_CEffectParameters {
public:
    Tandrel_Parameters();
    ~Tandrel_Parameters() override;

    // The data model's creation procedure, registered with the host by the effect description:
    // a new, uninitialised instance (reference count 0). Threading: any non-audio thread.
    static AAX_IEffectParameters* Create();

    // Resets the algorithm's private block (field 16); any other field gets -20025 and nothing else.
    // Asks the controller for the sample rate first (the reset does not use it). Always -20025.
    // Threading: any host thread; writes only the memory it is handed.
    AAX_Result ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t dataSize) const override;

    // Creates the nine parameters (bypass first, then the eight controls) and registers their
    // packets. Always 0. Run once, by Initialize.
    AAX_Result EffectInit() override;

    // Packet handlers of "FreqW" and "FreqA", run by the dispatcher under its lock: each fills the
    // 4-byte value packet and posts the coefficient block of its low-pass section (field 14 or 15)
    // before the dispatcher posts the value. Always 0.
    AAX_Result UpdatePacket_Par1(AAX_CPacket& packet);
    AAX_Result UpdatePacket_Par3(AAX_CPacket& packet);

private:
    // Shared body of the two handlers: corner frequency = value * k1 + k0 Hz.
    AAX_Result UpdateFrequencyPacket(const char* parameterID, float k1, float k0, AAX_CFieldIndex coefsField,
                                     AAX_CPacket& packet);
};
