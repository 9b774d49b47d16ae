// Interface and class identifiers of this system (fixed 16-byte values; both sides of the boundary use them).
#pragma once

#include "ACFBase.h"

// The last byte distinguishes each identifier; the rest is a fixed prefix of this system.
#define MRVX_UID(n) _acfUID{0x4D52565Au, 0x0001u, 0x00A7u, {0x8C, 0x31, 0x5E, 0x02, 0x94, 0x6B, 0xD0, (n)}}

// Root and framework interfaces.
inline constexpr _acfUID IID_IACFUnknown = _acfUID{0x00000000u, 0x0000u, 0x0000u, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr _acfUID IID_IACFComponentFactory = MRVX_UID(0x01);
inline constexpr _acfUID IID_IACFPluginDefinition = MRVX_UID(0x02);
inline constexpr _acfUID IID_IACFComponentDefinition = MRVX_UID(0x03);

// Plug-in objects offered to the host.
inline constexpr _acfUID IID_IAAXEffectParametersV1 = MRVX_UID(0x10);
inline constexpr _acfUID IID_IAAXEffectParametersV2 = MRVX_UID(0x11);
inline constexpr _acfUID IID_IAAXEffectParametersV3 = MRVX_UID(0x12);
inline constexpr _acfUID IID_IAAXEffectGUIV1 = MRVX_UID(0x18);

// Host interfaces reached by the plug-in.
inline constexpr _acfUID IID_IAAXControllerV1 = MRVX_UID(0x20);
inline constexpr _acfUID IID_IAAXControllerV2 = MRVX_UID(0x21);
inline constexpr _acfUID IID_IAAXAutomationDelegateV1 = MRVX_UID(0x24);
inline constexpr _acfUID IID_IAAXTransportV1 = MRVX_UID(0x28);
inline constexpr _acfUID IID_IAAXTransportV2 = MRVX_UID(0x29);
inline constexpr _acfUID IID_IAAXViewContainerV1 = MRVX_UID(0x2C);
inline constexpr _acfUID IID_IAAXViewContainerV2 = MRVX_UID(0x2D);
inline constexpr _acfUID IID_IAAXHostServicesV1 = MRVX_UID(0x30);
inline constexpr _acfUID IID_IAAXHostServicesV2 = MRVX_UID(0x31);
inline constexpr _acfUID IID_IAAXCollectionV1 = MRVX_UID(0x34);
inline constexpr _acfUID IID_IAAXEffectDescriptorV1 = MRVX_UID(0x38);
inline constexpr _acfUID IID_IAAXEffectDescriptorV2 = MRVX_UID(0x39);
inline constexpr _acfUID IID_IAAXComponentDescriptorV1 = MRVX_UID(0x3C);
inline constexpr _acfUID IID_IAAXComponentDescriptorV2 = MRVX_UID(0x3D);
inline constexpr _acfUID IID_IAAXPropertyMapV1 = MRVX_UID(0x40);
inline constexpr _acfUID IID_IAAXPropertyMapV2 = MRVX_UID(0x41);

// Host component classes, created through the host's IACFComponentFactory.
inline constexpr _acfUID AAXCompID_HostServices = MRVX_UID(0x80);
inline constexpr _acfUID AAXCompID_AAXCollection = MRVX_UID(0x81);
inline constexpr _acfUID AAXCompID_EffectDescriptor = MRVX_UID(0x82);
inline constexpr _acfUID AAXCompID_ComponentDescriptor = MRVX_UID(0x83);
inline constexpr _acfUID AAXCompID_PropertyMap = MRVX_UID(0x84);

#undef MRVX_UID
