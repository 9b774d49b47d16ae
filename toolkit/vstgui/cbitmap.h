// Bitmaps: PNG images loaded by name from the resource folder, or blank images of a given size.
#pragma once

#include <string>

#include "vstgui/owned.h"
#include "vstgui/vstguibase.h"

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

    // Draws the part of the bitmap that starts at `offset` into `dest` (at the context's scale).
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.0f);
    // The same, for a bitmap made of separate images (a film strip): only the dest-sized part at
    // `offset` is read, so at a scale the images beside it never blend in.
    void drawPart(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha = 1.0f);

    // The image (32-bit premultiplied ARGB), or null when nothing was loaded.
    cairo_surface_t* getSurface() const { return mSurface.get(); }

protected:
    ~CBitmap() override;

private:
    void paint(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha, bool partOnly);

    CResourceDescription mDesc;
    owned::Surface mSurface;
};

}  // namespace VSTGUI
