// The effect's description.
#include "Tandrel_Describe.h"

#include "AAX_ICollection.h"
#include "AAX_IComponentDescriptor.h"
#include "AAX_IEffectDescriptor.h"
#include "AAX_IPropertyMap.h"
#include "AAX_Init.h"
#include "Tandrel_Alg.h"
#include "Tandrel_GUI.h"
#include "Tandrel_Parameters.h"

namespace {

// Property identifiers (the host's numbering) and the values this effect passes as they stand.
enum : AAX_EProperty {
    kProperty_ManufacturerID = 11,
    kProperty_ProductID = 12,
    kProperty_NativeTypeID = 13,
    kProperty_SecondTypeID = 14,
    kProperty_DspTypeID = 15,
    kProperty_InputStemFormat = 51,
    kProperty_OutputStemFormat = 52,
    kProperty_54 = 54,
    kProperty_56 = 56,
    kProperty_60 = 60,
    kProperty_DspCostA = 62,
    kProperty_DspCostB = 63,
    kMeterProperty_200 = 200,
    kMeterProperty_201 = 201,
    kMeterProperty_202 = 202,
};

// What differs between the two layouts.
struct Layout {
    AAX_CTypeID nativeType;
    AAX_CTypeID dspType;
    AAX_CPropertyValue costB;  // property 63
    AAX_CPropertyValue costA;  // property 62
    AAX_CProcessProc process;
    const char* dspFile;
};

AAX_CPropertyValue Code(AAX_CTypeID id) { return static_cast<AAX_CPropertyValue>(id); }

// The process functions take the effect's own context type; the host calls them through the generic
// procedure type, whose arguments have the same layout (an array of context pointers and its end).
template <int kIn, int kOut>
AAX_CProcessProc ProcessProc() {
    using Generic = void (*)();
    return reinterpret_cast<AAX_CProcessProc>(reinterpret_cast<Generic>(&Tandrel_AlgorithmProcessFunction<kIn, kOut>));
}

const Layout kStereo = {cTandrel_NativeTypeStereo, cTandrel_DspTypeStereo, 7329, 631, ProcessProc<2, 2>(),
                        "Marovex_SS_TI.dll"};
const Layout kMono = {cTandrel_NativeTypeMono, cTandrel_DspTypeMono, 7177, 587, ProcessProc<1, 1>(),
                      "Marovex_MM_TI.dll"};

}  // namespace

void DescribeAlgorithmComponent(AAX_EStemFormat stemFormat, AAX_IComponentDescriptor* component) {
    component->AddAudioIn(eTandrelField_Input);
    component->AddAudioOut(eTandrelField_Output);
    component->AddAudioBufferLength(eTandrelField_BufferLength);
    component->AddSampleRate(eTandrelField_SampleRate);
    component->AddMeters(eTandrelField_Meters, cTandrel_MeterID, 1);
    for (AAX_CFieldIndex i = eTandrelField_Bypass; i <= eTandrelField_OutGain; ++i) {
        component->AddDataInPort(i, 4, 1);
    }
    component->AddDataInPort(eTandrelField_CoefsW, sizeof(STandrel_FilterCoefs), 1);
    component->AddDataInPort(eTandrelField_CoefsA, sizeof(STandrel_FilterCoefs), 1);
    component->AddPrivateData(eTandrelField_PrivateData, kTandrel_PrivateDataSize, 0);

    AAX_IPropertyMap* props = component->NewPropertyMap();
    if (props == nullptr) {
        return;
    }
    props->AddProperty(kProperty_ManufacturerID, Code(cTandrel_ManufacturerID));
    props->AddProperty(kProperty_ProductID, Code(cTandrel_ProductID));
    props->AddProperty(kProperty_60, 1);
    props->AddProperty(kProperty_InputStemFormat, stemFormat);
    props->AddProperty(kProperty_OutputStemFormat, stemFormat);
    props->AddProperty(kProperty_56, 0);

    const Layout* layout = stemFormat == AAX_eStemFormat_Stereo ? &kStereo
                           : stemFormat == AAX_eStemFormat_Mono ? &kMono
                                                                : nullptr;
    if (layout == nullptr) {
        return;
    }
    props->AddProperty(kProperty_NativeTypeID, Code(layout->nativeType));
    props->AddProperty(kProperty_SecondTypeID, Code(cTandrel_SecondType));
    props->AddProperty(kProperty_DspTypeID, Code(layout->dspType));
    props->AddProperty(kProperty_DspCostB, layout->costB);
    props->AddProperty(kProperty_DspCostA, layout->costA);
    component->AddProcessProc_Native(layout->process, props, nullptr, nullptr, nullptr);
    props->AddProperty(kProperty_54, 2);
    component->AddProcessProc_TI(layout->dspFile, "AlgEntry", props, nullptr, nullptr, nullptr);
}

AAX_Result GetEffectDescriptions(AAX_ICollection* collection) {
    if (collection == nullptr) {
        return AAX_ERROR_NULL_OBJECT;  // nothing to describe into
    }
    AAX_Result result = AAX_ERROR_NULL_OBJECT;
    AAX_IEffectDescriptor* effect = collection->NewDescriptor();
    AAX_IComponentDescriptor* component = effect ? effect->NewComponentDescriptor() : nullptr;
    if (component != nullptr) {
        effect->AddName("Marovex");
        effect->AddName("Mrv");
        effect->AddName("Mrv");
        effect->AddName("Mv");
        effect->AddCategory(2);

        component->Clear();
        DescribeAlgorithmComponent(AAX_eStemFormat_Stereo, component);
        effect->AddComponent(component);
        component->Clear();
        DescribeAlgorithmComponent(AAX_eStemFormat_Mono, component);
        effect->AddComponent(component);

        effect->AddProcPtr(reinterpret_cast<void*>(&Tandrel_Parameters::Create), 0);
        effect->AddResourceInfo(AAX_eResourceType_PageTable, "Marovex.xml");
        effect->AddProcPtr(reinterpret_cast<void*>(&Tandrel_GUI::Create), 1);

        AAX_IPropertyMap* meterProps = effect->NewPropertyMap();
        if (meterProps != nullptr) {
            meterProps->AddProperty(kMeterProperty_200, 2);
            meterProps->AddProperty(kMeterProperty_201, 1);
            meterProps->AddProperty(kMeterProperty_202, 1);
            effect->AddMeterDescription(cTandrel_MeterID[0], "GR1", meterProps);
            result = collection->AddEffect("Mrv", effect);
        }
    }
    // The package information is set whatever happened above.
    collection->SetManufacturerName("Halvik");
    collection->AddPackageName("Marovex Plug-In");
    collection->AddPackageName("Mrv");
    collection->AddPackageName("Mrv");
    collection->SetPackageVersion(1);
    return result;
}
