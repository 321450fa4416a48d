// Picture kinds that Windows itself decodes: icons and TIFF through the
// Windows imaging component (WIC), Windows and enhanced metafiles through
// GDI. Windows build only. Like the portable decoders they take the file's
// bytes and give a premultiplied 32-bit image, or raise an error that says
// what went wrong.
#pragma once

#include <string_view>

#include "toolkit/pictures/Picture.h"

// ico (the largest image of the file), wmf, emf, tif and tiff, chosen by the
// extension (with or without its dot, in any case); any other raises the
// extension message. A metafile is drawn at the target size when there is
// one, else at the size it records; its empty parts stay transparent.
TImage32 DecodePlatformPicture(std::string_view bytes, StringView extension, TPictureSize target = {},
                               const TPictureLimits& limits = {});
