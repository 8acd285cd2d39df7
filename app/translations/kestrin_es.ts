<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>CPreviewPane</name>
    <message>
        <location filename="../preview_pane.cpp" line="+149"/>
        <location line="+202"/>
        <source>No picture chosen.</source>
        <translation>No se ha elegido ninguna imagen.</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Preview: %1</source>
        <translation>Vista previa: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview: %1, %2</source>
        <translation>Vista previa: %1, %2</translation>
    </message>
    <message>
        <location line="+0"/>
        <source> and </source>
        <translation> y </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 bytes</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
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
        <translation>El archivo de salida %1 es la propia imagen de origen; no se ha sobrescrito.</translation>
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
        <translation>No hay ninguna biblioteca integrada para este tipo de archivo.</translation>
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
        <translation>Decodificador de mapa de bits: no es un mapa de bits.</translation>
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
        <translation>Se alcanzó el final del archivo al decodificar.
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
        <translation>No se pudo escribir el archivo de salida %1: %2.</translation>
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
        <translation>No se pudo crear el archivo de salida %1.</translation>
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
        <translation>Memoria insuficiente para la imagen.</translation>
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
        <translation>El archivo de salida %1 ya existe.</translation>
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
        <translation>Error %1 al convertir %2: %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>it could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error %1 decoding %2: %3</source>
        <translation>Error %1 al decodificar %2: %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unknown file type.</source>
        <translation>Tipo de archivo desconocido.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder error: %1
</source>
        <translation>Error del decodificador: %1
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
        <translation>No se pudo abrir %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF decoder: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Out of memory.</source>
        <translation>Memoria insuficiente.</translation>
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
        <translation>versión de interfaz %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>interface version %1, library %2</source>
        <translation>versión de interfaz %1, biblioteca %2</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JPEG support is based on %1 (%2)</source>
        <translation>La compatibilidad con JPEG se basa en %1 (%2)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>This software is based in part on the work of the Independent JPEG Group.</source>
        <translation>Este software se basa en parte en el trabajo del Independent JPEG Group.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>WebP support is based on libwebp version %1.%2.%3.</source>
        <translation>La compatibilidad con WebP se basa en libwebp versión %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>HEIF and AVIF support needs libheif, which is not installed.</source>
        <translation>La compatibilidad con HEIF y AVIF necesita libheif, que no está instalada.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF support is based on libheif version %1.</source>
        <translation>La compatibilidad con HEIF y AVIF se basa en libheif versión %1.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Color profiles are applied with Little CMS (lcms2) version %1.%2.</source>
        <translation>Los perfiles de color se aplican con Little CMS (lcms2) versión %1.%2.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Kestrin image decoding library version %1.</source>
        <translation>Biblioteca de decodificación de imágenes de Kestrin versión %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>GIF support is based on giflib %1.%2.%3.</source>
        <translation>La compatibilidad con GIF se basa en giflib %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>PNG support is based on libpng version %1</source>
        <translation>La compatibilidad con PNG se basa en libpng versión %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>TIFF support is based on %1.</source>
        <translation>La compatibilidad con TIFF se basa en %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ZLIB compression is based on zlib version %1.</source>
        <translation>La compresión ZLIB se basa en zlib versión %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Windows metafiles are drawn with cairo version %1.</source>
        <translation>Los metarchivos de Windows se dibujan con cairo versión %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The user interface is built with Qt version %1.</source>
        <translation>La interfaz de usuario está hecha con Qt versión %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Desktop integration is based on GLib and GIO version %1.%2.%3.</source>
        <translation>La integración con el escritorio se basa en GLib y GIO versión %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>About Kestrin</source>
        <translation>Acerca de Kestrin</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Copyright © Quessel. Distributed in the hope that it will be useful, but without any warranty.</source>
        <translation>Copyright © Quessel. Se distribuye con la esperanza de que sea útil, pero sin ninguna garantía.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Kestrin is free software under the MIT License.</source>
        <translation>Kestrin es software libre bajo la licencia MIT.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This program converts and installs images for use with &quot;Vexmoor&quot;.</source>
        <translation>Este programa convierte e instala imágenes para usarlas con «Vexmoor».</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Kestrin makes use of several libraries to decode your input image files:</source>
        <translation>Kestrin usa varias bibliotecas para decodificar sus archivos de imagen:</translation>
    </message>
    <message>
        <location filename="../batch_plan.cpp" line="+26"/>
        <location filename="../main_dialog_controls.cpp" line="+431"/>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+91"/>
        <source>Converted: %1 of %2 pictures.</source>
        <translation>Convertidas: %1 de %2 imágenes.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Converted, but incomplete: %1.</source>
        <translation>Convertidas, pero incompletas: %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Skipped, their databases already exist: %1.</source>
        <translation>Omitidas, sus bases de datos ya existen: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not converted, as the conversion was cancelled: %1.</source>
        <translation>Sin convertir, porque se canceló la conversión: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1.</source>
        <translation>Fallidas: %1.</translation>
    </message>
    <message>
        <location filename="../batch_progress_dialog.cpp" line="+21"/>
        <location filename="../progress_dialog.cpp" line="+51"/>
        <source>Processing Conversion...</source>
        <translation>Conversión en curso...</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Converting %1</source>
        <translation>Convirtiendo %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 of %2</source>
        <translation>%1 de %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted %1</source>
        <translation>Convertidas: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Stopping after the pictures in progress...</source>
        <translation>Deteniendo tras las imágenes en curso...</translation>
    </message>
    <message>
        <location line="+26"/>
        <location filename="../list_conversion.cpp" line="+60"/>
        <source>Conversion finished</source>
        <translation>Conversión terminada</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 of %2 pictures converted</source>
        <translation>%1 de %2 imágenes convertidas</translation>
    </message>
    <message>
        <location filename="../main_dialog.cpp" line="+51"/>
        <source>No install tool for Palm databases was found on this computer. Choose the program that installs databases with &quot;Install with...&quot; in the options menu, or write the database to a file.</source>
        <translation>No se ha encontrado en este equipo ninguna herramienta de instalación de bases de datos Palm. Elija el programa que instala las bases de datos con «Instalar con...» en el menú de opciones, o escriba la base de datos en un archivo.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>No program to show folders was found on this computer. The file is in the folder %1.</source>
        <translation>No se encontró ningún programa para mostrar carpetas en este equipo. El archivo está en la carpeta %1.</translation>
    </message>
    <message>
        <location line="+126"/>
        <source>from each file&apos;s name</source>
        <translation>del nombre de cada archivo</translation>
    </message>
    <message>
        <location line="+235"/>
        <source>Programs and scripts (*)</source>
        <translation>Programas y scripts (*)</translation>
    </message>
    <message>
        <location filename="../main_dialog_controls.cpp" line="-388"/>
        <source>Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110).</source>
        <translation>Crea una imagen compatible con PalmOS 3 y 4, en baja resolución (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+7"/>
        <source>(Best results with 160x110 pixel images)</source>
        <translation>(Mejores resultados con imágenes de 160x110 píxeles)</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>Creates an image compatible with PalmOS 5; in low resolution (160x110).</source>
        <translation>Crea una imagen compatible con PalmOS 5, en baja resolución (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Creates an image compatible with PalmOS 5; in both low and double resolution (160x110 and 320x220).</source>
        <translation>Crea una imagen compatible con PalmOS 5, en baja y en doble resolución (160x110 y 320x220).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>(Best results with 320x220 pixel images)</source>
        <translation>(Mejores resultados con imágenes de 320x220 píxeles)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110).</source>
        <translation>Crea una imagen compatible con PalmOS 3, 4 y 5, en baja resolución (160x110).</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Converted</source>
        <translation>Convertida</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted, but incomplete: %1</source>
        <translation>Convertida, pero incompleta: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Skipped: its database already exists</source>
        <translation>Omitida: su base de datos ya existe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Not converted, as the conversion was cancelled</source>
        <translation>No convertida, ya que se canceló la conversión</translation>
    </message>
    <message>
        <location line="+199"/>
        <source>Kestrin</source>
        <translation>Kestrin</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input</source>
        <translation>Entrada</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pic&amp;k...</source>
        <translation>&amp;Elegir...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>R&amp;emove</source>
        <translation>&amp;Quitar</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear &amp;all</source>
        <translation>Quitar t&amp;odas</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image Properties</source>
        <translation>Propiedades de la imagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Image name:</source>
        <translation>&amp;Nombre de la imagen:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Color depth:</source>
        <translation>&amp;Profundidad de color:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 bit (black &amp; white)</source>
        <translation>1 bit (blanco y negro)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>2 bit (4 shades of gray)</source>
        <translation>2 bits (4 tonos de gris)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>4 bit (16 shades of gray)</source>
        <translation>4 bits (16 tonos de gris)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>8 bit (256 colors)</source>
        <translation>8 bits (256 colores)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination &amp;OS:</source>
        <translation>&amp;Sistema de destino:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 3 or 4</source>
        <translation>PalmOS 3 o 4</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 5 (low-res)</source>
        <translation>PalmOS 5 (baja resolución)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 5 (high-res)</source>
        <translation>PalmOS 5 (alta resolución)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 3/4/5 combined</source>
        <translation>PalmOS 3/4/5 combinados</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Color reduction method</source>
        <translation>Método de reducción de colores</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Ra&amp;w</source>
        <translation>En &amp;bruto</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for graphics)</source>
        <translation>(recomendado para gráficos)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dit&amp;hering</source>
        <translation>Tra&amp;mado</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for photos)</source>
        <translation>(recomendado para fotos)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Fine &amp;quality (closer to the photo)</source>
        <translation>&amp;Calidad fina (más cercana a la foto)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output</source>
        <translation>Salida</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>W&amp;rite to</source>
        <translation>Escr&amp;ibir en</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Set...</source>
        <translation>&amp;Definir...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Directly send to Palm Desktop&apos;s QuickInstall Tool</source>
        <translation>Enviar direct&amp;amente a la herramienta QuickInstall de Palm Desktop</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>START CON&amp;VERSION</source>
        <translation>INICIAR CON&amp;VERSIÓN</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview</source>
        <translation>Vista previa</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Input &amp;files:</source>
        <translation>Archivos de en&amp;trada:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Input &amp;file:</source>
        <translation>Archivo de en&amp;trada:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>fo&amp;lder:</source>
        <translation>ca&amp;rpeta:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>fi&amp;le:</source>
        <translation>arc&amp;hivo:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input file</source>
        <translation>Archivo de entrada</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output folder</source>
        <translation>Carpeta de salida</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Output file</source>
        <translation>Archivo de salida</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write to folder</source>
        <translation>Escribir en una carpeta</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Write to file</source>
        <translation>Escribir en un archivo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image name</source>
        <translation>Nombre de la imagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth</source>
        <translation>Profundidad de color</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination OS</source>
        <translation>Sistema de destino</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Options</source>
        <translation>Opciones</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>%1 pictures</source>
        <translation>%1 imágenes</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input files: %1 pictures</source>
        <translation>Archivos de entrada: %1 imágenes</translation>
    </message>
    <message>
        <location line="-41"/>
        <source>Scale and dither in linear light and match colors as the eye sees them</source>
        <translation>Escala y trama en luz lineal y elige los colores tal como los ve el ojo</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="+42"/>
        <source>&amp;Compression</source>
        <translation>&amp;Compresión</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;None</source>
        <translation>&amp;Ninguna</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Scanline</source>
        <translation>Por &amp;líneas</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Most efficient</source>
        <translation>La más &amp;eficiente</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Turn photos upright</source>
        <translation>&amp;Enderezar las fotos</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Use color profiles</source>
        <translation>&amp;Usar perfiles de color</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Picture shape</source>
        <translation>&amp;Forma de la imagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Stretch to fill</source>
        <translation>&amp;Estirar para llenar</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Fit inside with borders</source>
        <translation>&amp;Ajustar con bordes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Crop to fill</source>
        <translation>&amp;Recortar para llenar</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>&amp;Install with...</source>
        <translation>&amp;Instalar con...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Delete Settings</source>
        <translation>&amp;Borrar la configuración</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;About Kestrin</source>
        <translation>&amp;Acerca de Kestrin</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>E&amp;xit	Esc</source>
        <translation>&amp;Salir	Esc</translation>
    </message>
    <message>
        <location filename="../picture_paths.cpp" line="+32"/>
        <source>All supported formats</source>
        <translation>Todos los formatos compatibles</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Palm image databases (*.pdb)</source>
        <translation>Bases de datos de imágenes Palm (*.pdb)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All files (*.*)</source>
        <translation>Todos los archivos (*.*)</translation>
    </message>
    <message>
        <location filename="../prompter.cpp" line="+36"/>
        <source>&amp;Overwrite all</source>
        <translation>&amp;Reemplazar todas</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Skip those</source>
        <translation>&amp;Omitir esas</translation>
    </message>
    <message>
        <location line="+9"/>
        <location filename="../status_line.cpp" line="+57"/>
        <source>Show in folder</source>
        <translation>Mostrar en la carpeta</translation>
    </message>
    <message>
        <location filename="../../imagelib/formats/picture_file_types.cpp" line="+16"/>
        <source>Bitmap (*.bmp)</source>
        <translation>Mapa de bits (*.bmp)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tagged Image File Format (*.tif)</source>
        <translation>Tagged Image File Format (*.tif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>CompuServe Bitmap (*.gif)</source>
        <translation>Mapa de bits CompuServe (*.gif)</translation>
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
        <translation>PICT de Mac (*.pct)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Targa (*.tga)</source>
        <translation>Targa (*.tga)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Windows Metafile (*.wmf;*.emf)</source>
        <translation>Metarchivo de Windows (*.wmf;*.emf)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>WebP (*.webp)</source>
        <translation>WebP (*.webp)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF (*.heic;*.heif;*.avif)</source>
        <translation>HEIF y AVIF (*.heic;*.heif;*.avif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Encapsulated PostScript with TIFF preview (*.eps)</source>
        <translation>PostScript encapsulado con vista previa TIFF (*.eps)</translation>
    </message>
    <message>
        <location filename="../status_line.cpp" line="+7"/>
        <source>Wrote %1 (%2 bytes)</source>
        <translation>%1 escrito (%2 bytes)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Status</source>
        <translation>Estado</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="-43"/>
        <source>Keep the &amp;middle</source>
        <translation>&amp;Conservar el centro</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;top</source>
        <translation>C&amp;onservar la parte superior</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;bottom</source>
        <translation>Co&amp;nservar la parte inferior</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;right side</source>
        <translation>Con&amp;servar el lado derecho</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;left side</source>
        <translation>Conser&amp;var el lado izquierdo</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top r&amp;ight</source>
        <translation>Conservar arr&amp;iba a la derecha</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top l&amp;eft</source>
        <translation>Conservar arri&amp;ba a la izquierda</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom ri&amp;ght</source>
        <translation>Conservar aba&amp;jo a la derecha</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the b&amp;ottom left</source>
        <translation>Conservar abajo a &amp;la izquierda</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep what dra&amp;ws the eye (smart)</source>
        <translation>Conservar lo &amp;que atrae la mirada (inteligente)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tur&amp;n tall pictures to fill</source>
        <translation>&amp;Girar las imágenes altas para llenar</translation>
    </message>
    <message>
        <location filename="../frame_editor.cpp" line="+104"/>
        <source>Part kept: %1 by %2 pixels from %3 across and %4 down, of %5 by %6</source>
        <translation>Parte conservada: %1 por %2 píxeles desde %3 en horizontal y %4 en vertical, de %5 por %6</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drag the frame, or move it with the arrow keys; the wheel changes its size</source>
        <translation>Arrastre el marco o muévalo con las flechas; la rueda cambia su tamaño</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <location filename="../string_table.cpp" line="+21"/>
        <source>Please choose at least one of the output options (Direct Install or Write to file).</source>
        <translation>Elija al menos una de las opciones de salida (instalación directa o escritura en un archivo).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please enter a source file.</source>
        <translation>Indique un archivo de origen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Please choose an output database file (*.pdb).</source>
        <translation>Elija un archivo de base de datos de salida (*.pdb).</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>There were errors during conversion. The output database file could not be written.</source>
        <translation>Se produjeron errores durante la conversión. No se pudo escribir el archivo de base de datos de salida.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>There were errors during installation of the image. The database could not be inserted in the Install Tool.</source>
        <translation>Se produjeron errores durante la instalación de la imagen. No se pudo añadir la base de datos a la herramienta de instalación.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Palm Database (*.pdb)|*.pdb||</source>
        <translation>Base de datos Palm (*.pdb)|*.pdb||</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file %s already exists. Do you want to overwrite it?</source>
        <translation>El archivo %s ya existe. ¿Desea reemplazarlo?</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;About Kestrin...</source>
        <translation>&amp;Acerca de Kestrin...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete Settings</source>
        <translation>Borrar la configuración</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings from the Windows registry. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>¿Desea realmente borrar toda la configuración?

Si elige «Sí», se quitará la configuración de Kestrin del registro de Windows. Se perderán los últimos archivos y nombres de usuario utilizados, así como sus preferencias de profundidad de color, método de reducción de colores y compresión.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings file %s. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>¿Desea realmente borrar toda la configuración?

Si elige «Sí», se quitará el archivo de configuración %s de Kestrin. Se perderán los últimos archivos y nombres de usuario utilizados, así como sus preferencias de profundidad de color, método de reducción de colores y compresión.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Please enter an image name.</source>
        <translation>Indique un nombre para la imagen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The image name must not have more than 31 characters. Please enter a shorter image name.</source>
        <translation>El nombre de la imagen no puede tener más de 31 caracteres. Indique un nombre más corto.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Your image cannot be included into Palm Desktop&apos;s QuickInstall tool, because *.pdb files are not associated with Palm Desktop.

Please create an output file and install that by hand or (re-)install the newest version of Palm Desktop.</source>
        <translation>Su imagen no se puede añadir a la herramienta QuickInstall de Palm Desktop, porque los archivos *.pdb no están asociados con Palm Desktop.

Cree un archivo de salida e instálelo a mano, o (re)instale la versión más reciente de Palm Desktop.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The image name contains the character &quot;%s&quot;, which Palm handhelds cannot show. Please leave it out or replace it.</source>
        <translation>El nombre de la imagen contiene el carácter «%s», que los dispositivos Palm no pueden mostrar. Quítelo o sustitúyalo.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Please choose a folder for the databases.</source>
        <translation>Elija una carpeta para las bases de datos.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The folder %s does not exist. Please choose an existing folder.</source>
        <translation>La carpeta %s no existe. Elija una carpeta existente.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Some of the databases already exist in the folder:

%s

Do you want to overwrite all of them, or skip those pictures?</source>
        <translation>Algunas de las bases de datos ya existen en la carpeta:

%s

¿Desea reemplazarlas todas u omitir esas imágenes?</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Another picture of the list is converted into %s already. Please rename one of them.</source>
        <translation>Otra imagen de la lista ya se convierte en %s. Cambie el nombre de una de ellas.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Source image file including its full directory path</source>
        <translation>Archivo de imagen de origen, con su ruta completa</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Palm database file with extension .pdb that is to be created, including its full directory path</source>
        <translation>Archivo de base de datos Palm que se creará, con extensión .pdb y su ruta completa</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Pick a source image file using a file dialog</source>
        <translation>Elegir un archivo de imagen de origen en un cuadro de diálogo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set an output Palm database file using a file dialog</source>
        <translation>Definir el archivo de base de datos Palm de salida en un cuadro de diálogo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Internal image name, used for identifying the image in Vexmoor</source>
        <translation>Nombre interno de la imagen, con el que Vexmoor la identifica</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth of output image</source>
        <translation>Profundidad de color de la imagen de salida</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Versions of PalmOS the created Palm Database shall be compatible with. &quot;PalmOS 3/4/5 combined&quot; results in an increased file size</source>
        <translation>Versiones de PalmOS con las que será compatible la base de datos Palm creada. «PalmOS 3/4/5 combinados» da un archivo más grande</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Raw color reduction</source>
        <translation>Reducción de colores en bruto</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color reduction using the dithering technique</source>
        <translation>Reducción de colores mediante tramado</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Create an output database file</source>
        <translation>Crear un archivo de base de datos de salida</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Directly send to Palm Desktop&apos;s QuickInstall Tool (Palm Desktop needs to be installed for this)</source>
        <translation>Enviar directamente a la herramienta QuickInstall de Palm Desktop (es necesario tener Palm Desktop instalado)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Start the conversion using above options</source>
        <translation>Iniciar la conversión con las opciones anteriores</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced options and commands</source>
        <translation>Opciones y órdenes avanzadas</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pictures to convert, each into a database named after its file</source>
        <translation>Las imágenes que se convertirán, cada una en una base de datos con el nombre de su archivo</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove the selected pictures from the list</source>
        <translation>Quitar de la lista las imágenes seleccionadas</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove every picture from the list</source>
        <translation>Quitar todas las imágenes de la lista</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Folder the databases are written to, one per picture</source>
        <translation>Carpeta en la que se escriben las bases de datos, una por imagen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set the output folder using a folder dialog</source>
        <translation>Definir la carpeta de salida en un cuadro de diálogo</translation>
    </message>
    <message>
        <location filename="../../engine/string_table.cpp" line="+17"/>
        <source>Creating database file...</source>
        <translation>Creando el archivo de base de datos...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Writing database header...</source>
        <translation>Escribiendo la cabecera de la base de datos...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Closing database file...</source>
        <translation>Cerrando el archivo de base de datos...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Deleting database file due to errors during conversion...</source>
        <translation>Borrando el archivo de base de datos por errores en la conversión...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating %s...</source>
        <translation>Creando %s...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating image...</source>
        <translation>Creando la imagen...</translation>
    </message>
</context>
</TS>
