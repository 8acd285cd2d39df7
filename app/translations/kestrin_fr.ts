<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>CPreviewPane</name>
    <message>
        <location filename="../preview_pane.cpp" line="+149"/>
        <location line="+202"/>
        <source>No picture chosen.</source>
        <translation>Aucune image choisie.</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Preview: %1</source>
        <translation>Aperçu&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview: %1, %2</source>
        <translation>Aperçu&#xa0;: %1, %2</translation>
    </message>
    <message>
        <location line="+0"/>
        <source> and </source>
        <translation> et </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 bytes</source>
        <translation>%1 octets</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>EngineMessage</name>
    <message>
        <location filename="../engine_message_table.h" line="+11"/>
        <source>HEIF decoder: The image is made of %1 tiles, more than the decoder allows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>HEIF decoder: The file holds only an image sequence, no still picture.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>HEIF decoder: The HEIF library (libheif.so.1) could not be loaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>HEIF decoder: The file lists %1 items, more than the decoder allows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Output file %1 is the source picture itself; it was not overwritten.</source>
        <translation>Le fichier de sortie %1 est l&apos;image source elle-même ; il n&apos;a pas été écrasé.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: Compressed data is too short for the image size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Error decoding pcx: %1 bytes per line are too few for a width of %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>its tables have more inputs than its colour space has channels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: Huffman-compressed bitmaps are not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Bitmap decoder: Compressed bitmap cannot be stored top-down.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: Color mask 0x%1 does not fit in %2-bit pixels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: JPEG-compressed bitmaps are not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: Pixel data offset points into the headers.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>HEIF decoder: The decoded image does not match its header.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>HEIF decoder: The image is larger than the decoder allows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: PNG-compressed bitmaps are not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Bitmap decoder: Delta escape leads outside the picture.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Windows Metafile functions failed to load this image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Resize filter: Only 32-bit bitmaps can be resized.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="-78"/>
        <source> for a HEIF picture like this one: libheif holds %1 bytes a pixel while it decodes it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+36"/>
        <source>The item locations list more extents than the decoder allows.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The pictures&apos; data is read more often than the file holds it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+24"/>
        <source>The property associations list more than their box holds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Resize filter: The crop box lies outside the picture.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The item references list more than their box holds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The item locations list more than their box holds.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: BITMAPINFOHEADER has wrong size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Bitmap decoder: Color mask 0x%1 is not contiguous.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Error decoding pcx: Can&apos;t handle image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>PNM decoder: Unexpected character 0x%1 in samples.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Resize filter: The picture&apos;s rows were not seen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoding bmp: Cannot decode to %1 bits per pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>PGM decoder: Unexpected character 0x%1 in header.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The item locations repeat an extent of no size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: The data ends before the picture.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>HEIF decoder: The decoded image has no pixels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>JPEG output of %1 x %2 x %3 does not fit the bitmap.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Bitmap decoder: Image size %1x%2 is out of range.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>PGM decoder: Can&apos;t decode to %1 bits per pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PNM decoder: Can&apos;t decode to %1 bits per pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the picture ends early: rows %1 to %2 are missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+3"/>
        <source>PNM decoder: Sample value above the maximum.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Bitmap rows are not one block.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t handle image with more than 4 planes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>HEIF decoder: Can&apos;t handle image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory during allocation of header.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Can&apos;t handle image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PGM decoder: Can&apos;t handle image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PGM decoder: Can&apos;t handle maximum value %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PNG rows of %1 bytes do not fit the bitmap.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PNM decoder: Can&apos;t handle image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>PNM decoder: Can&apos;t handle maximum value %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Color-mapped TGA image has no color map.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Library not compiled for this file type.</source>
        <translation>Aucune bibliothèque n&apos;est intégrée pour ce type de fichier.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t handle more than 1 bit per pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the picture ends early: row %1 is missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unsupported TGA color map entry size %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>GIF screen size %1 x %2 is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>TIFF image size %1 x %2 is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>its curves would take too much memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Bitmap decoder: This isn&apos;t a bitmap.</source>
        <translation>Décodeur bitmap : ce n&apos;est pas un bitmap.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t decode TGA to %1 bits per pixel.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>End of file reached while decoding.
</source>
        <translation>Fin de fichier atteinte pendant le décodage.
</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>GIF image size %1 x %2 is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Output file %1 could not be written: %2.</source>
        <translation>Le fichier de sortie %1 n&apos;a pas pu être écrit : %2.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>TIFF tile size %1 x %2 is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Broken data (status %1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error decoding pcx: Not a PCX file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory creating PNG reader.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Output file %1 could not be created.</source>
        <translation>Le fichier de sortie %1 n&apos;a pas pu être créé.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Unsupported feature.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>its conversion would take too long</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>File has unknown encoding scheme.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No header information in metafile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory for PCX image data.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Broken first frame.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>its conversion has too many steps</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Can&apos;t handle TGA image size %1 x %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Decoding bmp: Illegal bpp value.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>repeat count spans end of image.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>TIFF samples are not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Broken animation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>WebP decoder: Library mismatch.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cannot allocate memory bitmap.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory creating bitmap.</source>
        <translation>Mémoire insuffisante pour l&apos;image.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Reading from memory at %1 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unsupported bitmap conversion.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cannot allocate palette info.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unsupported TGA pixel depth %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory decoding HEIF.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory decoding WebP.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory during strdup.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Output file %1 already exists.</source>
        <translation>Le fichier de sortie %1 existe déjà.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>not a picture Kestrin reads</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Out of memory for palette.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknown PNG colour type %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cannot allocate palette.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>bad color map signature.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unknown TGA image type.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Warning in LIBTIFF(%1): %2
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Warning in LIBTIFF: %1
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error %1 converting %2: %3</source>
        <translation>Erreur %1 lors de la conversion de %2 : %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>it could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error %1 decoding %2: %3</source>
        <translation>Erreur %1 lors du décodage de %2 : %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unknown file type.</source>
        <translation>Type de fichier inconnu.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder error: %1
</source>
        <translation>Erreur du décodeur : %1
</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>My vexmoor image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF decoder: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Opening %1 failed</source>
        <translation>Impossible d&apos;ouvrir %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF decoder: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Out of memory.</source>
        <translation>Mémoire insuffisante.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PNM decoder: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Kestrin</name>
    <message>
        <location filename="../about_dialog.cpp" line="+70"/>
        <source>interface version %1</source>
        <translation>version d&apos;interface %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>interface version %1, library %2</source>
        <translation>version d&apos;interface %1, bibliothèque %2</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JPEG support is based on %1 (%2)</source>
        <translation>La prise en charge du JPEG repose sur %1 (%2)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>This software is based in part on the work of the Independent JPEG Group.</source>
        <translation>Ce logiciel repose en partie sur le travail de l&apos;Independent JPEG Group.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>WebP support is based on libwebp version %1.%2.%3.</source>
        <translation>La prise en charge du WebP repose sur libwebp version %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>HEIF and AVIF support needs libheif, which is not installed.</source>
        <translation>La prise en charge du HEIF et de l&apos;AVIF nécessite libheif, qui n&apos;est pas installée.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF support is based on libheif version %1.</source>
        <translation>La prise en charge du HEIF et de l&apos;AVIF repose sur libheif version %1.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Color profiles are applied with Little CMS (lcms2) version %1.%2.</source>
        <translation>Les profils de couleur sont appliqués avec Little CMS (lcms2) version %1.%2.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Kestrin image decoding library version %1.</source>
        <translation>Bibliothèque de décodage d&apos;images de Kestrin version %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>GIF support is based on giflib %1.%2.%3.</source>
        <translation>La prise en charge du GIF repose sur giflib %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>PNG support is based on libpng version %1</source>
        <translation>La prise en charge du PNG repose sur libpng version %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>TIFF support is based on %1.</source>
        <translation>La prise en charge du TIFF repose sur %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ZLIB compression is based on zlib version %1.</source>
        <translation>La compression ZLIB repose sur zlib version %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Windows metafiles are drawn with cairo version %1.</source>
        <translation>Les métafichiers Windows sont dessinés avec cairo version %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The user interface is built with Qt version %1.</source>
        <translation>L&apos;interface utilisateur est construite avec Qt version %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Desktop integration is based on GLib and GIO version %1.%2.%3.</source>
        <translation>L&apos;intégration au bureau repose sur GLib et GIO version %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>About Kestrin</source>
        <translation>À propos de Kestrin</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Copyright © Quessel. Distributed in the hope that it will be useful, but without any warranty.</source>
        <translation>Copyright © Quessel. Distribué dans l&apos;espoir d&apos;être utile, mais sans aucune garantie.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Kestrin is free software under the MIT License.</source>
        <translation>Kestrin est un logiciel libre sous licence MIT.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This program converts and installs images for use with &quot;Vexmoor&quot;.</source>
        <translation>Ce programme convertit et installe des images pour «&#xa0;Vexmoor&#xa0;».</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Kestrin makes use of several libraries to decode your input image files:</source>
        <translation>Kestrin utilise plusieurs bibliothèques pour décoder vos fichiers d&apos;images&#xa0;:</translation>
    </message>
    <message>
        <location filename="../batch_plan.cpp" line="+26"/>
        <location filename="../main_dialog_controls.cpp" line="+431"/>
        <source>%1: %2</source>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+91"/>
        <source>Converted: %1 of %2 pictures.</source>
        <translation>Converties&#xa0;: %1 images sur %2.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Converted, but incomplete: %1.</source>
        <translation>Converties, mais incomplètes&#xa0;: %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Skipped, their databases already exist: %1.</source>
        <translation>Ignorées, leurs bases de données existent déjà&#xa0;: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not converted, as the conversion was cancelled: %1.</source>
        <translation>Non converties, la conversion ayant été annulée&#xa0;: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1.</source>
        <translation>Échecs&#xa0;: %1.</translation>
    </message>
    <message>
        <location filename="../batch_progress_dialog.cpp" line="+21"/>
        <location filename="../progress_dialog.cpp" line="+51"/>
        <source>Processing Conversion...</source>
        <translation>Conversion en cours...</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Converting %1</source>
        <translation>Conversion de %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted %1</source>
        <translation>Converties&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Stopping after the pictures in progress...</source>
        <translation>Arrêt après les images en cours...</translation>
    </message>
    <message>
        <location line="+26"/>
        <location filename="../list_conversion.cpp" line="+60"/>
        <source>Conversion finished</source>
        <translation>Conversion terminée</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 of %2 pictures converted</source>
        <translation>%1 images sur %2 converties</translation>
    </message>
    <message>
        <location filename="../main_dialog.cpp" line="+51"/>
        <source>No install tool for Palm databases was found on this computer. Choose the program that installs databases with &quot;Install with...&quot; in the options menu, or write the database to a file.</source>
        <translation>Aucun outil d&apos;installation de bases de données Palm n&apos;a été trouvé sur cet ordinateur. Choisissez le programme qui installe les bases de données avec «&#xa0;Installer avec...&#xa0;» dans le menu des options, ou écrivez la base de données dans un fichier.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>No program to show folders was found on this computer. The file is in the folder %1.</source>
        <translation>Aucun programme pour afficher les dossiers n&apos;a été trouvé sur cet ordinateur. Le fichier se trouve dans le dossier %1.</translation>
    </message>
    <message>
        <location line="+126"/>
        <source>from each file&apos;s name</source>
        <translation>du nom de chaque fichier</translation>
    </message>
    <message>
        <location line="+235"/>
        <source>Programs and scripts (*)</source>
        <translation>Programmes et scripts (*)</translation>
    </message>
    <message>
        <location filename="../main_dialog_controls.cpp" line="-388"/>
        <source>Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110).</source>
        <translation>Crée une image compatible avec PalmOS 3 et 4, en basse résolution (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+7"/>
        <source>(Best results with 160x110 pixel images)</source>
        <translation>(Meilleurs résultats avec des images de 160x110 pixels)</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>Creates an image compatible with PalmOS 5; in low resolution (160x110).</source>
        <translation>Crée une image compatible avec PalmOS 5, en basse résolution (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Creates an image compatible with PalmOS 5; in both low and double resolution (160x110 and 320x220).</source>
        <translation>Crée une image compatible avec PalmOS 5, en basse et en double résolution (160x110 et 320x220).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>(Best results with 320x220 pixel images)</source>
        <translation>(Meilleurs résultats avec des images de 320x220 pixels)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110).</source>
        <translation>Crée une image compatible avec PalmOS 3, 4 et 5, en basse résolution (160x110).</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Converted</source>
        <translation>Convertie</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted, but incomplete: %1</source>
        <translation>Convertie, mais incomplète&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Skipped: its database already exists</source>
        <translation>Ignorée&#xa0;: sa base de données existe déjà</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1</source>
        <translation>Échec&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Not converted, as the conversion was cancelled</source>
        <translation>Non convertie, la conversion a été annulée</translation>
    </message>
    <message>
        <location line="+199"/>
        <source>Kestrin</source>
        <translation>Kestrin</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input</source>
        <translation>Entrée</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pic&amp;k...</source>
        <translation>&amp;Choisir...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>R&amp;emove</source>
        <translation>&amp;Retirer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear &amp;all</source>
        <translation>&amp;Tout retirer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image Properties</source>
        <translation>Propriétés de l&apos;image</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Image name:</source>
        <translation>&amp;Nom de l&apos;image&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Color depth:</source>
        <translation>&amp;Profondeur de couleur&#xa0;:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 bit (black &amp; white)</source>
        <translation>1 bit (noir et blanc)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>2 bit (4 shades of gray)</source>
        <translation>2 bits (4 niveaux de gris)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>4 bit (16 shades of gray)</source>
        <translation>4 bits (16 niveaux de gris)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>8 bit (256 colors)</source>
        <translation>8 bits (256 couleurs)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination &amp;OS:</source>
        <translation>&amp;Système cible&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 3 or 4</source>
        <translation>PalmOS 3 ou 4</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 5 (low-res)</source>
        <translation>PalmOS 5 (basse résolution)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 5 (high-res)</source>
        <translation>PalmOS 5 (haute résolution)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 3/4/5 combined</source>
        <translation>PalmOS 3/4/5 combinés</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Color reduction method</source>
        <translation>Méthode de réduction des couleurs</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Ra&amp;w</source>
        <translation>&amp;Brute</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for graphics)</source>
        <translation>(conseillée pour les graphiques)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dit&amp;hering</source>
        <translation>Tra&amp;mage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for photos)</source>
        <translation>(conseillé pour les photos)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Fine &amp;quality (closer to the photo)</source>
        <translation>&amp;Qualité fine (plus proche de la photo)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>W&amp;rite to</source>
        <translation>Écrire &amp;dans</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Set...</source>
        <translation>Dé&amp;finir...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Directly send to Palm Desktop&apos;s QuickInstall Tool</source>
        <translation>&amp;Envoyer directement à l&apos;outil QuickInstall de Palm Desktop</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>START CON&amp;VERSION</source>
        <translation>LANCER LA CON&amp;VERSION</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview</source>
        <translation>Aperçu</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Input &amp;files:</source>
        <translation>F&amp;ichiers d&apos;entrée&#xa0;:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Input &amp;file:</source>
        <translation>F&amp;ichier d&apos;entrée&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>fo&amp;lder:</source>
        <translation>d&amp;ossier&#xa0;:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>fi&amp;le:</source>
        <translation>fic&amp;hier&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input file</source>
        <translation>Fichier d&apos;entrée</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output folder</source>
        <translation>Dossier de sortie</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Output file</source>
        <translation>Fichier de sortie</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write to folder</source>
        <translation>Écrire dans un dossier</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Write to file</source>
        <translation>Écrire dans un fichier</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image name</source>
        <translation>Nom de l&apos;image</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth</source>
        <translation>Profondeur de couleur</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination OS</source>
        <translation>Système cible</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>%1 pictures</source>
        <translation>%1 images</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input files: %1 pictures</source>
        <translation>Fichiers d&apos;entrée&#xa0;: %1 images</translation>
    </message>
    <message>
        <location line="-41"/>
        <source>Scale and dither in linear light and match colors as the eye sees them</source>
        <translation>Redimensionne et trame en lumière linéaire et choisit les couleurs telles que l&apos;œil les voit</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="+42"/>
        <source>&amp;Compression</source>
        <translation>&amp;Compression</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;None</source>
        <translation>&amp;Aucune</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Scanline</source>
        <translation>Par &amp;lignes</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Most efficient</source>
        <translation>La plus &amp;efficace</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Turn photos upright</source>
        <translation>&amp;Redresser les photos</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Use color profiles</source>
        <translation>&amp;Utiliser les profils de couleur</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Picture shape</source>
        <translation>&amp;Forme de l&apos;image</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Stretch to fill</source>
        <translation>&amp;Étirer pour remplir</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Fit inside with borders</source>
        <translation>&amp;Ajuster avec des bordures</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Crop to fill</source>
        <translation>&amp;Rogner pour remplir</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>&amp;Install with...</source>
        <translation>&amp;Installer avec...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Delete Settings</source>
        <translation>&amp;Supprimer les paramètres</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;About Kestrin</source>
        <translation>À &amp;propos de Kestrin</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>E&amp;xit	Esc</source>
        <translation>&amp;Quitter	Échap</translation>
    </message>
    <message>
        <location filename="../picture_paths.cpp" line="+32"/>
        <source>All supported formats</source>
        <translation>Tous les formats pris en charge</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Palm image databases (*.pdb)</source>
        <translation>Bases d&apos;images Palm (*.pdb)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All files (*.*)</source>
        <translation>Tous les fichiers (*.*)</translation>
    </message>
    <message>
        <location filename="../prompter.cpp" line="+36"/>
        <source>&amp;Overwrite all</source>
        <translation>Tout &amp;remplacer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Skip those</source>
        <translation>&amp;Ignorer celles-ci</translation>
    </message>
    <message>
        <location line="+9"/>
        <location filename="../status_line.cpp" line="+57"/>
        <source>Show in folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message>
        <location filename="../../imagelib/formats/picture_file_types.cpp" line="+16"/>
        <source>Bitmap (*.bmp)</source>
        <translation>Bitmap (*.bmp)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tagged Image File Format (*.tif)</source>
        <translation>Tagged Image File Format (*.tif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>CompuServe Bitmap (*.gif)</source>
        <translation>Bitmap CompuServe (*.gif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>JPEG (*.jpg;*.jpeg)</source>
        <translation>JPEG (*.jpg;*.jpeg)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Portable Network Graphics (*.png)</source>
        <translation>Portable Network Graphics (*.png)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Netpbm (*.pnm)</source>
        <translation>Netpbm (*.pnm)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>PC Paintbrush (*.pcx)</source>
        <translation>PC Paintbrush (*.pcx)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Mac PICT (*.pct)</source>
        <translation>PICT Mac (*.pct)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Targa (*.tga)</source>
        <translation>Targa (*.tga)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Windows Metafile (*.wmf;*.emf)</source>
        <translation>Métafichier Windows (*.wmf;*.emf)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>WebP (*.webp)</source>
        <translation>WebP (*.webp)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF (*.heic;*.heif;*.avif)</source>
        <translation>HEIF et AVIF (*.heic;*.heif;*.avif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Encapsulated PostScript with TIFF preview (*.eps)</source>
        <translation>PostScript encapsulé avec aperçu TIFF (*.eps)</translation>
    </message>
    <message>
        <location filename="../status_line.cpp" line="+7"/>
        <source>Wrote %1 (%2 bytes)</source>
        <translation>%1 écrit (%2 octets)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Status</source>
        <translation>État</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="-43"/>
        <source>Keep the &amp;middle</source>
        <translation>&amp;Garder le centre</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;top</source>
        <translation>Gar&amp;der le haut</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;bottom</source>
        <translation>Gard&amp;er le bas</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;right side</source>
        <translation>Garder &amp;le côté droit</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;left side</source>
        <translation>Garder le &amp;côté gauche</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top r&amp;ight</source>
        <translation>Garder e&amp;n haut à droite</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top l&amp;eft</source>
        <translation>Garder en &amp;haut à gauche</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom ri&amp;ght</source>
        <translation>Garder en &amp;bas à droite</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the b&amp;ottom left</source>
        <translation>Garder en ba&amp;s à gauche</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep what dra&amp;ws the eye (smart)</source>
        <translation>Garder ce &amp;qui attire l’œil (automatique)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tur&amp;n tall pictures to fill</source>
        <translation>&amp;Tourner les images hautes pour remplir</translation>
    </message>
    <message>
        <location filename="../frame_editor.cpp" line="+104"/>
        <source>Part kept: %1 by %2 pixels from %3 across and %4 down, of %5 by %6</source>
        <translation>Partie gardée : %1 sur %2 pixels à partir de %3 en largeur et %4 en hauteur, sur %5 sur %6</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drag the frame, or move it with the arrow keys; the wheel changes its size</source>
        <translation>Faites glisser le cadre ou déplacez-le avec les flèches ; la molette change sa taille</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <location filename="../string_table.cpp" line="+21"/>
        <source>Please choose at least one of the output options (Direct Install or Write to file).</source>
        <translation>Veuillez choisir au moins une des options de sortie (installation directe ou écriture dans un fichier).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please enter a source file.</source>
        <translation>Veuillez indiquer un fichier source.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Please choose an output database file (*.pdb).</source>
        <translation>Veuillez choisir un fichier de base de données de sortie (*.pdb).</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>There were errors during conversion. The output database file could not be written.</source>
        <translation>Des erreurs se sont produites pendant la conversion. Le fichier de base de données de sortie n&apos;a pas pu être écrit.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>There were errors during installation of the image. The database could not be inserted in the Install Tool.</source>
        <translation>Des erreurs se sont produites pendant l&apos;installation de l&apos;image. La base de données n&apos;a pas pu être ajoutée à l&apos;outil d&apos;installation.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Palm Database (*.pdb)|*.pdb||</source>
        <translation>Base de données Palm (*.pdb)|*.pdb||</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file %s already exists. Do you want to overwrite it?</source>
        <translation>Le fichier %s existe déjà. Voulez-vous le remplacer&#xa0;?</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;About Kestrin...</source>
        <translation>À &amp;propos de Kestrin...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete Settings</source>
        <translation>Supprimer les paramètres</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings from the Windows registry. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>Voulez-vous vraiment supprimer tous les paramètres&#xa0;?

En choisissant «&#xa0;Oui&#xa0;», les paramètres de Kestrin seront retirés du registre Windows. Vos derniers fichiers et noms d&apos;utilisateur ainsi que vos préférences de profondeur de couleur, de méthode de réduction des couleurs et de compression seront perdus&#xa0;!</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings file %s. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>Voulez-vous vraiment supprimer tous les paramètres&#xa0;?

En choisissant «&#xa0;Oui&#xa0;», le fichier de paramètres %s de Kestrin sera supprimé. Vos derniers fichiers et noms d&apos;utilisateur ainsi que vos préférences de profondeur de couleur, de méthode de réduction des couleurs et de compression seront perdus&#xa0;!</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Please enter an image name.</source>
        <translation>Veuillez indiquer un nom d&apos;image.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The image name must not have more than 31 characters. Please enter a shorter image name.</source>
        <translation>Le nom de l&apos;image ne doit pas dépasser 31 caractères. Veuillez indiquer un nom plus court.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Your image cannot be included into Palm Desktop&apos;s QuickInstall tool, because *.pdb files are not associated with Palm Desktop.

Please create an output file and install that by hand or (re-)install the newest version of Palm Desktop.</source>
        <translation>Votre image ne peut pas être ajoutée à l&apos;outil QuickInstall de Palm Desktop, car les fichiers *.pdb ne sont pas associés à Palm Desktop.

Veuillez créer un fichier de sortie et l&apos;installer à la main, ou (ré)installer la dernière version de Palm Desktop.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The image name contains the character &quot;%s&quot;, which Palm handhelds cannot show. Please leave it out or replace it.</source>
        <translation>Le nom de l&apos;image contient le caractère «&#xa0;%s&#xa0;», que les ordinateurs de poche Palm ne peuvent pas afficher. Veuillez le retirer ou le remplacer.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Please choose a folder for the databases.</source>
        <translation>Veuillez choisir un dossier pour les bases de données.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The folder %s does not exist. Please choose an existing folder.</source>
        <translation>Le dossier %s n&apos;existe pas. Veuillez choisir un dossier existant.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Some of the databases already exist in the folder:

%s

Do you want to overwrite all of them, or skip those pictures?</source>
        <translation>Certaines bases de données existent déjà dans le dossier&#xa0;:

%s

Voulez-vous toutes les remplacer, ou ignorer ces images&#xa0;?</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Another picture of the list is converted into %s already. Please rename one of them.</source>
        <translation>Une autre image de la liste est déjà convertie en %s. Veuillez renommer l&apos;une d&apos;elles.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Source image file including its full directory path</source>
        <translation>Fichier d&apos;image source, avec son chemin complet</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Palm database file with extension .pdb that is to be created, including its full directory path</source>
        <translation>Fichier de base de données Palm à créer, d&apos;extension .pdb, avec son chemin complet</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Pick a source image file using a file dialog</source>
        <translation>Choisir un fichier d&apos;image source dans une boîte de dialogue</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set an output Palm database file using a file dialog</source>
        <translation>Définir le fichier de base de données Palm de sortie dans une boîte de dialogue</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Internal image name, used for identifying the image in Vexmoor</source>
        <translation>Nom interne de l&apos;image, qui l&apos;identifie dans Vexmoor</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth of output image</source>
        <translation>Profondeur de couleur de l&apos;image de sortie</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Versions of PalmOS the created Palm Database shall be compatible with. &quot;PalmOS 3/4/5 combined&quot; results in an increased file size</source>
        <translation>Versions de PalmOS avec lesquelles la base de données Palm créée doit être compatible. «&#xa0;PalmOS 3/4/5 combinés&#xa0;» donne un fichier plus gros</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Raw color reduction</source>
        <translation>Réduction des couleurs brute</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color reduction using the dithering technique</source>
        <translation>Réduction des couleurs par tramage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Create an output database file</source>
        <translation>Créer un fichier de base de données de sortie</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Directly send to Palm Desktop&apos;s QuickInstall Tool (Palm Desktop needs to be installed for this)</source>
        <translation>Envoyer directement à l&apos;outil QuickInstall de Palm Desktop (Palm Desktop doit être installé)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Start the conversion using above options</source>
        <translation>Lancer la conversion avec les options ci-dessus</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced options and commands</source>
        <translation>Options et commandes avancées</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pictures to convert, each into a database named after its file</source>
        <translation>Les images à convertir, chacune en une base de données nommée d&apos;après son fichier</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove the selected pictures from the list</source>
        <translation>Retirer de la liste les images sélectionnées</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove every picture from the list</source>
        <translation>Retirer toutes les images de la liste</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Folder the databases are written to, one per picture</source>
        <translation>Dossier où les bases de données sont écrites, une par image</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set the output folder using a folder dialog</source>
        <translation>Définir le dossier de sortie dans une boîte de dialogue</translation>
    </message>
    <message>
        <location filename="../../engine/string_table.cpp" line="+17"/>
        <source>Creating database file...</source>
        <translation>Création du fichier de base de données...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Writing database header...</source>
        <translation>Écriture de l&apos;en-tête de la base de données...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Closing database file...</source>
        <translation>Fermeture du fichier de base de données...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Deleting database file due to errors during conversion...</source>
        <translation>Suppression du fichier de base de données à cause d&apos;erreurs de conversion...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating %s...</source>
        <translation>Création de %s...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating image...</source>
        <translation>Création de l&apos;image...</translation>
    </message>
</context>
</TS>
