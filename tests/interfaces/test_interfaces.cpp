// The shared constants that both sides of the host boundary compile in.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "AAX.h"
#include "AAX_SPlugInChunk.h"
#include "AAX_UIDs.h"

TEST(FourCharacterCodes, FirstCharacterIsTheMostSignificantByte) {
    EXPECT_EQ(AAX_FourCC("elck"), 0x656C636Bu);
    EXPECT_EQ(AAX_FourCC("mGR1"), 0x6D475231u);
    EXPECT_EQ(AAX_FourCC("Hlvk"), 0x486C766Bu);
    EXPECT_EQ(cControlsChunkID, 0x656C636Bu);
}

TEST(InterfaceIdentifiers, AreDistinctOnAllSixteenBytes) {
    const std::vector<_acfUID> ids = {
        IID_IACFUnknown, IID_IACFComponentFactory, IID_IACFPluginDefinition, IID_IACFComponentDefinition,
        IID_IAAXEffectParametersV1, IID_IAAXEffectParametersV2, IID_IAAXEffectParametersV3, IID_IAAXEffectGUIV1,
        IID_IAAXControllerV1, IID_IAAXControllerV2, IID_IAAXAutomationDelegateV1, IID_IAAXTransportV1,
        IID_IAAXTransportV2, IID_IAAXViewContainerV1, IID_IAAXViewContainerV2, IID_IAAXHostServicesV1,
        IID_IAAXHostServicesV2, IID_IAAXCollectionV1, IID_IAAXEffectDescriptorV1, IID_IAAXEffectDescriptorV2,
        IID_IAAXComponentDescriptorV1, IID_IAAXComponentDescriptorV2, IID_IAAXPropertyMapV1,
        IID_IAAXPropertyMapV2, AAXCompID_HostServices, AAXCompID_AAXCollection, AAXCompID_EffectDescriptor,
        AAXCompID_ComponentDescriptor, AAXCompID_PropertyMap};
    std::set<std::string> seen;
    for (const auto& id : ids) {
        seen.insert(std::string(reinterpret_cast<const char*>(&id), sizeof id));
    }
    EXPECT_EQ(seen.size(), ids.size());
}

TEST(InterfaceIdentifiers, MatchOnlyWhenEveryByteIsEqual) {
    for (size_t byte = 0; byte < sizeof(_acfUID); ++byte) {
        _acfUID other = IID_IAAXEffectParametersV1;
        reinterpret_cast<unsigned char*>(&other)[byte] ^= 0x01;
        EXPECT_FALSE(other == IID_IAAXEffectParametersV1) << "byte " << byte;
        EXPECT_TRUE(other != IID_IAAXEffectParametersV1);
    }
    EXPECT_TRUE(IID_IAAXEffectParametersV1 == _acfUID(IID_IAAXEffectParametersV1));
}
