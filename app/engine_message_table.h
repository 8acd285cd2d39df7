// Written by scripts/extract_engine_messages.py: the engine's and the image
// library's messages, as printf templates and as translators see them. No
// include guard: app/engine_messages.cpp includes it into a table.
KESTRIN_ENGINE_MESSAGE(
    " for a HEIF picture like this one: libheif holds %llu bytes a pixel while it decodes it.",
    QT_TRANSLATE_NOOP(
        "EngineMessage",
        " for a HEIF picture like this one: libheif holds %1 bytes a pixel while it decodes it."))
KESTRIN_ENGINE_MESSAGE(
    "HEIF decoder: The image is made of %llu tiles, more than the decoder allows.",
    QT_TRANSLATE_NOOP("EngineMessage",
                      "HEIF decoder: The image is made of %1 tiles, more than the decoder allows."))
KESTRIN_ENGINE_MESSAGE(
    "HEIF decoder: The file holds only an image sequence, no still picture.",
    QT_TRANSLATE_NOOP("EngineMessage",
                      "HEIF decoder: The file holds only an image sequence, no still picture."))
KESTRIN_ENGINE_MESSAGE(
    "HEIF decoder: The HEIF library (libheif.so.1) could not be loaded.",
    QT_TRANSLATE_NOOP("EngineMessage", "HEIF decoder: The HEIF library (libheif.so.1) could not be loaded."))
KESTRIN_ENGINE_MESSAGE(
    "HEIF decoder: The file lists %llu items, more than the decoder allows.",
    QT_TRANSLATE_NOOP("EngineMessage",
                      "HEIF decoder: The file lists %1 items, more than the decoder allows."))
KESTRIN_ENGINE_MESSAGE(
    "Output file %s is the source picture itself; it was not overwritten.",
    QT_TRANSLATE_NOOP("EngineMessage",
                      "Output file %1 is the source picture itself; it was not overwritten."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Compressed data is too short for the image size.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Compressed data is too short for the image size."))
KESTRIN_ENGINE_MESSAGE(
    "Error decoding pcx: %d bytes per line are too few for a width of %d.",
    QT_TRANSLATE_NOOP("EngineMessage",
                      "Error decoding pcx: %1 bytes per line are too few for a width of %2."))
KESTRIN_ENGINE_MESSAGE("its tables have more inputs than its colour space has channels",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "its tables have more inputs than its colour space has channels"))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Huffman-compressed bitmaps are not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Huffman-compressed bitmaps are not supported."))
KESTRIN_ENGINE_MESSAGE("The item locations list more extents than the decoder allows.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "The item locations list more extents than the decoder allows."))
KESTRIN_ENGINE_MESSAGE("The pictures' data is read more often than the file holds it.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "The pictures' data is read more often than the file holds it."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Compressed bitmap cannot be stored top-down.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Compressed bitmap cannot be stored top-down."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Color mask 0x%08X does not fit in %d-bit pixels.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Color mask 0x%1 does not fit in %2-bit pixels."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: JPEG-compressed bitmaps are not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: JPEG-compressed bitmaps are not supported."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Pixel data offset points into the headers.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Pixel data offset points into the headers."))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: The decoded image does not match its header.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "HEIF decoder: The decoded image does not match its header."))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: The image is larger than the decoder allows.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "HEIF decoder: The image is larger than the decoder allows."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: PNG-compressed bitmaps are not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: PNG-compressed bitmaps are not supported."))
KESTRIN_ENGINE_MESSAGE("The property associations list more than their box holds.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "The property associations list more than their box holds."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Delta escape leads outside the picture.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Delta escape leads outside the picture."))
KESTRIN_ENGINE_MESSAGE("Resize filter: The crop box lies outside the picture.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Resize filter: The crop box lies outside the picture."))
KESTRIN_ENGINE_MESSAGE("Windows Metafile functions failed to load this image.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Windows Metafile functions failed to load this image."))
KESTRIN_ENGINE_MESSAGE("The item references list more than their box holds.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "The item references list more than their box holds."))
KESTRIN_ENGINE_MESSAGE("Resize filter: Only 32-bit bitmaps can be resized.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Resize filter: Only 32-bit bitmaps can be resized."))
KESTRIN_ENGINE_MESSAGE("The item locations list more than their box holds.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "The item locations list more than their box holds."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: BITMAPINFOHEADER has wrong size.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Bitmap decoder: BITMAPINFOHEADER has wrong size."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Color mask 0x%08X is not contiguous.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Color mask 0x%1 is not contiguous."))
KESTRIN_ENGINE_MESSAGE("Error decoding pcx: Can't handle image size %d x %d.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Error decoding pcx: Can't handle image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("PNM decoder: Unexpected character 0x%02X in samples.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "PNM decoder: Unexpected character 0x%1 in samples."))
KESTRIN_ENGINE_MESSAGE("Resize filter: The picture's rows were not seen.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Resize filter: The picture's rows were not seen."))
KESTRIN_ENGINE_MESSAGE("Decoding bmp: Cannot decode to %d bits per pixel.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Decoding bmp: Cannot decode to %1 bits per pixel."))
KESTRIN_ENGINE_MESSAGE("PGM decoder: Unexpected character 0x%02X in header.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "PGM decoder: Unexpected character 0x%1 in header."))
KESTRIN_ENGINE_MESSAGE("The item locations repeat an extent of no size.",
                       QT_TRANSLATE_NOOP("EngineMessage", "The item locations repeat an extent of no size."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: The data ends before the picture.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: The data ends before the picture."))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: The decoded image has no pixels.",
                       QT_TRANSLATE_NOOP("EngineMessage", "HEIF decoder: The decoded image has no pixels."))
KESTRIN_ENGINE_MESSAGE("JPEG output of %u x %u x %d does not fit the bitmap.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "JPEG output of %1 x %2 x %3 does not fit the bitmap."))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: Image size %lldx%lld is out of range.",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "Bitmap decoder: Image size %1x%2 is out of range."))
KESTRIN_ENGINE_MESSAGE("PGM decoder: Can't decode to %d bits per pixel.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PGM decoder: Can't decode to %1 bits per pixel."))
KESTRIN_ENGINE_MESSAGE("PNM decoder: Can't decode to %d bits per pixel.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PNM decoder: Can't decode to %1 bits per pixel."))
KESTRIN_ENGINE_MESSAGE("the picture ends early: rows %d to %d are missing",
                       QT_TRANSLATE_NOOP("EngineMessage",
                                         "the picture ends early: rows %1 to %2 are missing"))
KESTRIN_ENGINE_MESSAGE("PNM decoder: Sample value above the maximum.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PNM decoder: Sample value above the maximum."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Bitmap rows are not one block.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Bitmap rows are not one block."))
KESTRIN_ENGINE_MESSAGE("Can't handle image with more than 4 planes.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Can't handle image with more than 4 planes."))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: Can't handle image size %d x %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "HEIF decoder: Can't handle image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("Out of memory during allocation of header.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory during allocation of header."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Can't handle image size %d x %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Can't handle image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("PGM decoder: Can't handle image size %d x %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PGM decoder: Can't handle image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("PGM decoder: Can't handle maximum value %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PGM decoder: Can't handle maximum value %1."))
KESTRIN_ENGINE_MESSAGE("PNG rows of %zu bytes do not fit the bitmap.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PNG rows of %1 bytes do not fit the bitmap."))
KESTRIN_ENGINE_MESSAGE("PNM decoder: Can't handle image size %lld x %lld.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PNM decoder: Can't handle image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("PNM decoder: Can't handle maximum value %lld.",
                       QT_TRANSLATE_NOOP("EngineMessage", "PNM decoder: Can't handle maximum value %1."))
KESTRIN_ENGINE_MESSAGE("Color-mapped TGA image has no color map.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Color-mapped TGA image has no color map."))
KESTRIN_ENGINE_MESSAGE("Library not compiled for this file type.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Library not compiled for this file type."))
KESTRIN_ENGINE_MESSAGE("Can't handle more than 1 bit per pixel.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Can't handle more than 1 bit per pixel."))
KESTRIN_ENGINE_MESSAGE("the picture ends early: row %d is missing",
                       QT_TRANSLATE_NOOP("EngineMessage", "the picture ends early: row %1 is missing"))
KESTRIN_ENGINE_MESSAGE("Unsupported TGA color map entry size %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Unsupported TGA color map entry size %1."))
KESTRIN_ENGINE_MESSAGE("GIF screen size %d x %d is not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage", "GIF screen size %1 x %2 is not supported."))
KESTRIN_ENGINE_MESSAGE("TIFF image size %u x %u is not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage", "TIFF image size %1 x %2 is not supported."))
KESTRIN_ENGINE_MESSAGE("its curves would take too much memory",
                       QT_TRANSLATE_NOOP("EngineMessage", "its curves would take too much memory"))
KESTRIN_ENGINE_MESSAGE("Bitmap decoder: This isn't a bitmap.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Bitmap decoder: This isn't a bitmap."))
KESTRIN_ENGINE_MESSAGE("Can't decode TGA to %d bits per pixel.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Can't decode TGA to %1 bits per pixel."))
KESTRIN_ENGINE_MESSAGE("End of file reached while decoding.\n",
                       QT_TRANSLATE_NOOP("EngineMessage", "End of file reached while decoding.\n"))
KESTRIN_ENGINE_MESSAGE("GIF image size %d x %d is not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage", "GIF image size %1 x %2 is not supported."))
KESTRIN_ENGINE_MESSAGE("Output file %s could not be written: %s.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Output file %1 could not be written: %2."))
KESTRIN_ENGINE_MESSAGE("TIFF tile size %u x %u is not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage", "TIFF tile size %1 x %2 is not supported."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Broken data (status %d).",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Broken data (status %1)."))
KESTRIN_ENGINE_MESSAGE("Error decoding pcx: Not a PCX file.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Error decoding pcx: Not a PCX file."))
KESTRIN_ENGINE_MESSAGE("Out of memory creating PNG reader.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory creating PNG reader."))
KESTRIN_ENGINE_MESSAGE("Output file %s could not be created.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Output file %1 could not be created."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Unsupported feature.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Unsupported feature."))
KESTRIN_ENGINE_MESSAGE("its conversion would take too long",
                       QT_TRANSLATE_NOOP("EngineMessage", "its conversion would take too long"))
KESTRIN_ENGINE_MESSAGE("File has unknown encoding scheme.",
                       QT_TRANSLATE_NOOP("EngineMessage", "File has unknown encoding scheme."))
KESTRIN_ENGINE_MESSAGE("No header information in metafile",
                       QT_TRANSLATE_NOOP("EngineMessage", "No header information in metafile"))
KESTRIN_ENGINE_MESSAGE("Out of memory for PCX image data.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory for PCX image data."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Broken first frame.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Broken first frame."))
KESTRIN_ENGINE_MESSAGE("its conversion has too many steps",
                       QT_TRANSLATE_NOOP("EngineMessage", "its conversion has too many steps"))
KESTRIN_ENGINE_MESSAGE("Can't handle TGA image size %d x %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Can't handle TGA image size %1 x %2."))
KESTRIN_ENGINE_MESSAGE("Decoding bmp: Illegal bpp value.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Decoding bmp: Illegal bpp value."))
KESTRIN_ENGINE_MESSAGE("repeat count spans end of image.",
                       QT_TRANSLATE_NOOP("EngineMessage", "repeat count spans end of image."))
KESTRIN_ENGINE_MESSAGE("TIFF samples are not supported.",
                       QT_TRANSLATE_NOOP("EngineMessage", "TIFF samples are not supported."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Broken animation.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Broken animation."))
KESTRIN_ENGINE_MESSAGE("WebP decoder: Library mismatch.",
                       QT_TRANSLATE_NOOP("EngineMessage", "WebP decoder: Library mismatch."))
KESTRIN_ENGINE_MESSAGE("Cannot allocate memory bitmap.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Cannot allocate memory bitmap."))
KESTRIN_ENGINE_MESSAGE("Out of memory creating bitmap.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory creating bitmap."))
KESTRIN_ENGINE_MESSAGE("Reading from memory at %p failed",
                       QT_TRANSLATE_NOOP("EngineMessage", "Reading from memory at %1 failed"))
KESTRIN_ENGINE_MESSAGE("Unsupported bitmap conversion.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Unsupported bitmap conversion."))
KESTRIN_ENGINE_MESSAGE("Cannot allocate palette info.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Cannot allocate palette info."))
KESTRIN_ENGINE_MESSAGE("Unsupported TGA pixel depth %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Unsupported TGA pixel depth %1."))
KESTRIN_ENGINE_MESSAGE("Out of memory decoding HEIF.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory decoding HEIF."))
KESTRIN_ENGINE_MESSAGE("Out of memory decoding WebP.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory decoding WebP."))
KESTRIN_ENGINE_MESSAGE("Out of memory during strdup.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory during strdup."))
KESTRIN_ENGINE_MESSAGE("Output file %s already exists.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Output file %1 already exists."))
KESTRIN_ENGINE_MESSAGE("not a picture Kestrin reads",
                       QT_TRANSLATE_NOOP("EngineMessage", "not a picture Kestrin reads"))
KESTRIN_ENGINE_MESSAGE("Out of memory for palette.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Out of memory for palette."))
KESTRIN_ENGINE_MESSAGE("Unknown PNG colour type %d.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Unknown PNG colour type %1."))
KESTRIN_ENGINE_MESSAGE("Cannot allocate palette.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Cannot allocate palette."))
KESTRIN_ENGINE_MESSAGE("bad color map signature.",
                       QT_TRANSLATE_NOOP("EngineMessage", "bad color map signature."))
KESTRIN_ENGINE_MESSAGE("Unknown TGA image type.",
                       QT_TRANSLATE_NOOP("EngineMessage", "Unknown TGA image type."))
KESTRIN_ENGINE_MESSAGE("Warning in LIBTIFF(%s): %s\n",
                       QT_TRANSLATE_NOOP("EngineMessage", "Warning in LIBTIFF(%1): %2\n"))
KESTRIN_ENGINE_MESSAGE("Warning in LIBTIFF: %s\n",
                       QT_TRANSLATE_NOOP("EngineMessage", "Warning in LIBTIFF: %1\n"))
KESTRIN_ENGINE_MESSAGE("Error %d converting %s: %s",
                       QT_TRANSLATE_NOOP("EngineMessage", "Error %1 converting %2: %3"))
KESTRIN_ENGINE_MESSAGE("it could not be read", QT_TRANSLATE_NOOP("EngineMessage", "it could not be read"))
KESTRIN_ENGINE_MESSAGE("Error %d decoding %s: %s",
                       QT_TRANSLATE_NOOP("EngineMessage", "Error %1 decoding %2: %3"))
KESTRIN_ENGINE_MESSAGE("Unknown file type.", QT_TRANSLATE_NOOP("EngineMessage", "Unknown file type."))
KESTRIN_ENGINE_MESSAGE("Decoder error: %s\n", QT_TRANSLATE_NOOP("EngineMessage", "Decoder error: %1\n"))
KESTRIN_ENGINE_MESSAGE("My vexmoor image", QT_TRANSLATE_NOOP("EngineMessage", "My vexmoor image"))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: %s.", QT_TRANSLATE_NOOP("EngineMessage", "HEIF decoder: %1."))
KESTRIN_ENGINE_MESSAGE("Opening %s failed", QT_TRANSLATE_NOOP("EngineMessage", "Opening %1 failed"))
KESTRIN_ENGINE_MESSAGE("HEIF decoder: %s", QT_TRANSLATE_NOOP("EngineMessage", "HEIF decoder: %1"))
KESTRIN_ENGINE_MESSAGE("Out of memory.", QT_TRANSLATE_NOOP("EngineMessage", "Out of memory."))
KESTRIN_ENGINE_MESSAGE("PNM decoder: %s", QT_TRANSLATE_NOOP("EngineMessage", "PNM decoder: %1"))
