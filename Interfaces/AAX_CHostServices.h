// The process-wide route to the host's log.
//
// Set(host) is called by the module's start-up and shutdown entry points; Trace may be called from
// any non-audio thread in between (it formats into a stack buffer and does not allocate itself).
#pragma once

#include <cstdint>

#include "AAX.h"
#include "ACFBase.h"

class AAX_CHostServices {
public:
    // With a non-null host: creates the process-wide host-services wrapper unless one exists (a
    // second call keeps the first). With null: deletes the wrapper. Threading: module start-up and
    // shutdown only, while no Trace runs.
    static void Set(IACFUnknown* host);

    // Formats printf-style into at most 511 characters and hands the text to the host's Trace.
    // Returns the host's result, or 0 when no wrapper exists.
    static AAX_Result Trace(int32_t priority, const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Where a copy of this class in a library the module loads sends its finished text: the module's
    // TraceText, so that the library's traces reach the host the module was started with.
    using TraceRoute = AAX_Result (*)(int32_t priority, const char* text);
    // Sends this copy's traces through `route` instead of a wrapper of its own (null: its own again).
    // Threading: while no Trace of this copy runs (before the library traces anything).
    static void RouteTracesTo(TraceRoute route);
    // Hands finished text (no formatting) to the host as Trace does; 0 when no wrapper exists.
    static AAX_Result TraceText(int32_t priority, const char* text);

    // The longest text handed to the host, without its terminating NUL.
    static constexpr int kMaxTraceLength = 511;
};
