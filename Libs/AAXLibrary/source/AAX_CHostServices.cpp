#include "AAX_CHostServices.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "AAX_VHostServices.h"

namespace {
std::atomic<AAX_VHostServices*> gHostServices{nullptr};
std::atomic<AAX_CHostServices::TraceRoute> gRoute{nullptr};
}  // namespace

void AAX_CHostServices::Set(IACFUnknown* host) {
    if (host == nullptr) {
        delete gHostServices.exchange(nullptr);
        return;
    }
    if (gHostServices.load() == nullptr) {
        auto* created = new AAX_VHostServices(host);
        AAX_VHostServices* expected = nullptr;
        if (!gHostServices.compare_exchange_strong(expected, created)) {
            delete created;
        }
    }
}

void AAX_CHostServices::RouteTracesTo(TraceRoute route) { gRoute.store(route); }

AAX_Result AAX_CHostServices::TraceText(int32_t priority, const char* text) {
    AAX_VHostServices* services = gHostServices.load();
    if (services == nullptr || text == nullptr) {
        return AAX_SUCCESS;
    }
    return services->Trace(priority, text);
}

AAX_Result AAX_CHostServices::Trace(int32_t priority, const char* format, ...) {
    const TraceRoute route = gRoute.load();
    AAX_VHostServices* services = gHostServices.load();
    if ((route == nullptr && services == nullptr) || format == nullptr) {
        return AAX_SUCCESS;
    }
    char message[kMaxTraceLength + 1];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (written < 0) {
        message[0] = '\0';
    }
    return route != nullptr ? route(priority, message) : services->Trace(priority, message);
}
