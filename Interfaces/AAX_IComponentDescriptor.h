// Describes one algorithm component: its context fields, properties and process procedures.
#pragma once

#include "AAX.h"
#include "ACFBase.h"

class AAX_IPropertyMap;

// A native process procedure: the first of an array of context pointers and a pointer just past the last.
typedef void (*AAX_CProcessProc)(void* const inInstancesBegin[], const void* inInstancesEnd);
typedef int32_t (*AAX_CInstanceInitProc)(const void* instance, int32_t action);
typedef int32_t (*AAX_CBackgroundProc)(void);

class AAX_IACFComponentDescriptor : public IACFUnknown {
public:
    virtual AAX_Result Clear() = 0;
    virtual AAX_Result AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) = 0;
    virtual AAX_Result AddAudioIn(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioOut(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddSampleRate(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddClock(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddSideChainIn(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) = 0;
    virtual AAX_Result AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) = 0;
    virtual AAX_Result AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs, uint32_t meterCount) = 0;
    virtual AAX_Result AddProcessProc_Native(AAX_CProcessProc processProc, IACFUnknown* properties,
                                             AAX_CInstanceInitProc instanceInitProc,
                                             AAX_CBackgroundProc backgroundProc, AAX_CTypeID* outProcID) = 0;
    virtual AAX_Result AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol,
                                         IACFUnknown* properties, const char* instanceInitProcSymbol,
                                         const char* backgroundProcSymbol, AAX_CTypeID* outProcID) = 0;

protected:
    ~AAX_IACFComponentDescriptor() = default;
};

class AAX_IACFComponentDescriptor_V2 : public AAX_IACFComponentDescriptor {
public:
    virtual AAX_Result AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) = 0;

protected:
    ~AAX_IACFComponentDescriptor_V2() = default;
};

class AAX_IComponentDescriptor {
public:
    virtual ~AAX_IComponentDescriptor() = default;
    virtual AAX_Result Clear() = 0;
    virtual AAX_Result AddReservedField(AAX_CFieldIndex field, uint32_t fieldType) = 0;
    virtual AAX_Result AddAudioIn(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioOut(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddAudioBufferLength(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddSampleRate(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddClock(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddSideChainIn(AAX_CFieldIndex field) = 0;
    virtual AAX_Result AddDataInPort(AAX_CFieldIndex field, uint32_t packetSize, int32_t portType) = 0;
    virtual AAX_Result AddPrivateData(AAX_CFieldIndex field, int32_t dataSize, int32_t options) = 0;
    virtual AAX_Result AddMeters(AAX_CFieldIndex field, const AAX_CTypeID* meterIDs, uint32_t meterCount) = 0;
    // Returns a new property map owned by this descriptor wrapper (null when the host cannot make one).
    virtual AAX_IPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result AddProcessProc_Native(AAX_CProcessProc processProc, AAX_IPropertyMap* properties,
                                             AAX_CInstanceInitProc instanceInitProc,
                                             AAX_CBackgroundProc backgroundProc, AAX_CTypeID* outProcID) = 0;
    virtual AAX_Result AddProcessProc_TI(const char* dllFileName, const char* processProcSymbol,
                                         AAX_IPropertyMap* properties, const char* instanceInitProcSymbol,
                                         const char* backgroundProcSymbol, AAX_CTypeID* outProcID) = 0;
    // Version 2.
    virtual AAX_Result AddTemporaryData(AAX_CFieldIndex field, uint32_t dataElementSize) = 0;
    virtual IACFUnknown* GetIUnknown() const = 0;
};
