// Loading the module must not depend on allocation succeeding: a static initialiser that allocates
// (and throws on failure) would end any process that loads the module, a workstation or an LV2 host
// included, before it could say why. This program replaces the global operator new so that every
// allocation made while the module is loaded fails, loads the built module, and checks that it loaded
// and that the editor (which makes its fonts on first use) still works afterwards.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <new>

#include "MarovexHost.h"
#include "MarovexViewContainer.h"

namespace {
bool gFailAllocations = false;  // set only around the dlopen below, on this thread
int gRefused = 0;
}  // namespace

void* operator new(std::size_t size) {
    if (gFailAllocations) {
        ++gRefused;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (gFailAllocations) {
        ++gRefused;
        return nullptr;
    }
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

TEST(ModuleLoad, NoStaticInitialiserOfTheModuleAllocates) {
    gFailAllocations = true;
    void* handle = ::dlopen(MAROVEX_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    gFailAllocations = false;
    ASSERT_NE(handle, nullptr) << ::dlerror();
    EXPECT_EQ(gRefused, 0) << "the module's static initialisers asked for memory";

    // The fonts, made on first use, still come: an editor opens and draws.
    std::string error;
    const std::shared_ptr<MarovexModule> module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;
    std::unique_ptr<MarovexInstance> instance =
        MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 512, &error);
    ASSERT_TRUE(instance) << error;
    std::unique_ptr<MarovexGui> gui = instance->CreateGui(&error);
    ASSERT_TRUE(gui) << error;
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    EXPECT_TRUE(MarovexRenderEditorOffscreen(*gui, &pixels, &width, &height, [] {}, &error)) << error;
    EXPECT_GT(width, 0);
    gui.reset();
    instance.reset();
    ::dlclose(handle);
}
