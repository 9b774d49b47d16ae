// The URID map the LV2 tests hand to the plug-in and its user interface: each URI gets the next
// number on first sight and keeps it. `feature` offers the map as LV2_URID__map.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <string>
#include <vector>

namespace lv2test {

struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, &UridMap::Map};
    LV2_Feature feature{LV2_URID__map, &map};
    static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri) {
        auto* self = static_cast<UridMap*>(h);
        for (size_t i = 0; i < self->uris.size(); ++i) {
            if (self->uris[i] == uri) return LV2_URID(i + 1);
        }
        self->uris.emplace_back(uri);
        return LV2_URID(self->uris.size());
    }
};

}  // namespace lv2test
