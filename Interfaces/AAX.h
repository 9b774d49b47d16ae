// Basic types, result codes and helpers shared by both sides of the host boundary.
#pragma once

#include <cstdint>

typedef int32_t AAX_Result;
typedef uint32_t AAX_CTypeID;        // four-character code
typedef int32_t AAX_CFieldIndex;     // index of an algorithm context field
typedef int32_t AAX_CPropertyValue;  // value stored in a property map
typedef uint32_t AAX_EProperty;      // property identifier (the host's numbering)
typedef uint8_t AAX_CBoolean;        // 0 false, non-zero true
typedef const char* AAX_CParamID;    // NUL-terminated parameter identifier
typedef int32_t AAX_CProcPtrID;      // 0: data-model factory, 1: GUI factory
typedef uint32_t AAX_CMeterID;

// Four-character code: the first character is the most significant byte.
constexpr uint32_t AAX_FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// Result codes.
enum : AAX_Result {
    AAX_SUCCESS = 0,
    AAX_ERROR_INVALID_PARAMETER_ID = -20001,     // no parameter with that identifier or index
    AAX_ERROR_INVALID_STRING_CONVERSION = -20002,
    AAX_ERROR_NULL_OBJECT = -20004,              // a needed object or host interface is missing
    AAX_ERROR_INVALID_CHUNK_INDEX = -20006,
    AAX_ERROR_INVALID_CHUNK_ID = -20007,
    AAX_ERROR_INCORRECT_CHUNK_SIZE = -20008,
    AAX_ERROR_UNIMPLEMENTED = -20009,            // operation not offered
    AAX_ERROR_NULL_ARGUMENT = -20011,            // no host object given to the GUI
    AAX_RESULT_FIELD_DATA_RESET = -20025,        // every private-block reset answers this
    AAX_ERROR_SIGNED_INT_OVERFLOW = -20033,      // step count too large
    AAX_ERROR_CHUNK_WRITE_FAILED = -333,         // the state chunk could not be written
};

// Component-framework results (HRESULT style).
constexpr AAX_Result ACF_OK = 0;
constexpr AAX_Result ACF_E_NOINTERFACE = static_cast<AAX_Result>(0x80000004u);
constexpr AAX_Result ACF_E_UNEXPECTED = static_cast<AAX_Result>(0x8000FFFFu);
constexpr AAX_Result ACF_E_FAIL = static_cast<AAX_Result>(0x80004005u);

enum AAX_EStemFormat : int32_t {
    AAX_eStemFormat_Mono = 1,
    AAX_eStemFormat_Stereo = 0x10002,
};

enum AAX_EParameterType : int32_t {
    AAX_eParameterType_Discrete = 0,
    AAX_eParameterType_Continuous = 1,
};

typedef int32_t AAX_EParameterOrientation;

enum AAX_EUpdateSource : int32_t {
    AAX_eUpdateSource_Unspecified = 0,
    AAX_eUpdateSource_Parameter = 1,
    AAX_eUpdateSource_Chunk = 2,
    AAX_eUpdateSource_Delay = 3,
};

enum AAX_EResourceType : int32_t {
    AAX_eResourceType_None = 0,
    AAX_eResourceType_PageTable = 1,
};

// Trace priorities handed to the host's log.
enum : int32_t {
    AAX_eTracePriorityHost_Critical = 0x08000000,
};

// Editor geometry exchanged with the host: two floats, vertical first.
struct AAX_Point {
    float vert;
    float horz;
};
static_assert(sizeof(AAX_Point) == 8, "AAX_Point is two floats");

// top, left, width, height
struct AAX_Rect {
    float top;
    float left;
    float width;
    float height;
};
static_assert(sizeof(AAX_Rect) == 16, "AAX_Rect is four floats");

// Four-character codes of the effect (shared by the module and its tests).
constexpr AAX_CTypeID cAAX_NotificationPreviewState = AAX_FourCC("ASPv");
