// The kinds of picture file that can be loaded, one per decoder.
#pragma once

namespace velmora {

enum class PictureType {
    Bmp,
    Jpeg,
    Gif,
    Png,
    Icon,  // icons and cursors share one layout
    Tiff,
    Targa,
    Pcx,
    Wbmp,
    Wmf,
    Emf,
    Jpeg2000File,
    Jpeg2000Stream,
    Pgx,
    Pnm,
    SunRaster,
    Ska,
};

// A short upper-case name of the type for messages ("PNG", "JPEG 2000").
const char* pictureTypeName(PictureType type);

}  // namespace velmora
