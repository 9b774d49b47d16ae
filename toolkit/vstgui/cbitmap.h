// Bitmaps: PNG images loaded by name from the resource folder, or blank images of a given size.
#pragma once

#include <string>

#include "vstgui/vstguibase.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CDrawContext;

// The folder that named resources are loaded from (the bundle's resources). Set it before the first
// bitmap is loaded; an empty path means the current directory.
void setResourceBasePath(const std::string& path);
const std::string& getResourceBasePath();

// A resource named by its file name inside the resource folder.
class CResourceDescription {
public:
    CResourceDescription(const char* name) : mName(name ? name : "") {}  // NOLINT: implicit on purpose
    const char* name() const { return mName.c_str(); }

private:
    std::string mName;
};

class CBitmap : public CBaseObject {
public:
    // Loads the named PNG resource. A resource that cannot be read leaves an empty bitmap
    // (isLoaded() false, size 0 by 0) that draws nothing.
    explicit CBitmap(const CResourceDescription& desc);
    // A blank (transparent) bitmap of the given size.
    CBitmap(CCoord width, CCoord height);

    CCoord getWidth() const;
    CCoord getHeight() const;
    bool isLoaded() const { return mSurface != nullptr; }
    const CResourceDescription& getResourceDescription() const { return mDesc; }

    // Draws the part of the bitmap that starts at `offset` into `dest` (no scaling).
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.0f);

    // The image (32-bit premultiplied ARGB), or null when nothing was loaded.
    cairo_surface_t* getSurface() const { return mSurface; }

protected:
    ~CBitmap() override;

private:
    CResourceDescription mDesc;
    cairo_surface_t* mSurface = nullptr;
};

}  // namespace VSTGUI
