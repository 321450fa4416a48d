// Picture kinds that Windows itself decodes: icons and TIFF through the
// Windows imaging component (WIC), Windows and enhanced metafiles through
// GDI. Windows build only. Like the portable decoders they take the file's
// bytes and give a premultiplied 32-bit image, or raise an error that says
// what went wrong.
#pragma once

#include <string_view>

#include "toolkit/pictures/PictureFormats.h"

// An icon (the largest image of the file), a TIFF, or an enhanced or Windows
// metafile, as the registry's decoder says. A metafile is drawn at the target
// size when there is one, else at the size it records; its empty parts stay
// transparent. Any of our own decoders raises a logic error: those are not
// the platform's.
TImage32 DecodePlatformPicture(std::string_view bytes, TPictureDecoder decoder, TPictureSize target = {},
                               const TPictureLimits& limits = {});
