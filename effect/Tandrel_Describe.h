// The effect's description: what the module declares to the host when it registers.
#pragma once

#include "AAX.h"

class AAX_ICollection;
class AAX_IComponentDescriptor;

// Describes the one effect (names, category, the stereo and the mono component, the two factories,
// the resource file and the meter) into the collection, then always sets the package information.
// Result: -20004 when the collection, the effect descriptor or the meter's property map cannot make
// an object (no effect is added then), otherwise what AddEffect returns.
// Threading: the host's registration thread.
AAX_Result GetEffectDescriptions(AAX_ICollection* collection);

// Declares the algorithm context field by field and, for the stereo (0x10002) and mono (1) stem
// formats, the properties, the native process function and the DSP module of that layout. Any other
// stem format gets the fields and the common properties only.
void DescribeAlgorithmComponent(AAX_EStemFormat stemFormat, AAX_IComponentDescriptor* component);

// The identifiers and literals of the description.
constexpr AAX_CTypeID cTandrel_ManufacturerID = AAX_FourCC("Hlvk");
constexpr AAX_CTypeID cTandrel_ProductID = AAX_FourCC("Mrvx");
constexpr AAX_CTypeID cTandrel_NativeTypeStereo = AAX_FourCC("MvSs");
constexpr AAX_CTypeID cTandrel_NativeTypeMono = AAX_FourCC("MvSm");
constexpr AAX_CTypeID cTandrel_SecondType = AAX_FourCC("MvAS");
constexpr AAX_CTypeID cTandrel_DspTypeStereo = AAX_FourCC("MvTs");
constexpr AAX_CTypeID cTandrel_DspTypeMono = AAX_FourCC("MvTm");
