<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CPreviewPane</name>
    <message>
        <location filename="../preview_pane.cpp" line="+149"/>
        <location line="+202"/>
        <source>No picture chosen.</source>
        <translation>Kein Bild gewählt.</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>Preview: %1</source>
        <translation>Vorschau: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview: %1, %2</source>
        <translation>Vorschau: %1, %2</translation>
    </message>
    <message>
        <location line="+0"/>
        <source> and </source>
        <translation> und </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
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
        <translation>Die Ausgabedatei %1 ist das Ausgangsbild selbst; sie wurde nicht überschrieben.</translation>
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
        <translation>Für diesen Dateityp ist keine Bibliothek eingebaut.</translation>
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
        <translation>Bitmap-Decoder: Dies ist keine Bitmap.</translation>
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
        <translation>Dateiende beim Dekodieren erreicht.
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
        <translation>Die Ausgabedatei %1 konnte nicht geschrieben werden: %2.</translation>
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
        <translation>Die Ausgabedatei %1 konnte nicht angelegt werden.</translation>
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
        <translation>Nicht genug Speicher für das Bild.</translation>
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
        <translation>Die Ausgabedatei %1 existiert bereits.</translation>
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
        <translation>Fehler %1 beim Umwandeln von %2: %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>it could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Error %1 decoding %2: %3</source>
        <translation>Fehler %1 beim Lesen von %2: %3</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Unknown file type.</source>
        <translation>Unbekannter Dateityp.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Decoder error: %1
</source>
        <translation>Dekodierfehler: %1
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
        <translation>%1 konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF decoder: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Out of memory.</source>
        <translation>Nicht genug Speicher.</translation>
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
        <translation>Schnittstellenversion %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>interface version %1, library %2</source>
        <translation>Schnittstellenversion %1, Bibliothek %2</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>JPEG support is based on %1 (%2)</source>
        <translation>Die JPEG-Unterstützung beruht auf %1 (%2)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>This software is based in part on the work of the Independent JPEG Group.</source>
        <translation>Diese Software beruht teilweise auf der Arbeit der Independent JPEG Group.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>WebP support is based on libwebp version %1.%2.%3.</source>
        <translation>Die WebP-Unterstützung beruht auf libwebp Version %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>HEIF and AVIF support needs libheif, which is not installed.</source>
        <translation>Die HEIF- und AVIF-Unterstützung braucht libheif, das nicht installiert ist.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF support is based on libheif version %1.</source>
        <translation>Die HEIF- und AVIF-Unterstützung beruht auf libheif Version %1.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Color profiles are applied with Little CMS (lcms2) version %1.%2.</source>
        <translation>Farbprofile werden mit Little CMS (lcms2) Version %1.%2 angewandt.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Kestrin image decoding library version %1.</source>
        <translation>Kestrin-Bilddekodierbibliothek Version %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>GIF support is based on giflib %1.%2.%3.</source>
        <translation>Die GIF-Unterstützung beruht auf giflib %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>PNG support is based on libpng version %1</source>
        <translation>Die PNG-Unterstützung beruht auf libpng Version %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>TIFF support is based on %1.</source>
        <translation>Die TIFF-Unterstützung beruht auf %1.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>ZLIB compression is based on zlib version %1.</source>
        <translation>Die ZLIB-Kompression beruht auf zlib Version %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Windows metafiles are drawn with cairo version %1.</source>
        <translation>Windows-Metadateien werden mit cairo Version %1 gezeichnet.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The user interface is built with Qt version %1.</source>
        <translation>Die Bedienoberfläche ist mit Qt Version %1 gebaut.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Desktop integration is based on GLib and GIO version %1.%2.%3.</source>
        <translation>Die Einbindung in den Desktop beruht auf GLib und GIO Version %1.%2.%3.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>About Kestrin</source>
        <translation>Über Kestrin</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Copyright © Quessel. Distributed in the hope that it will be useful, but without any warranty.</source>
        <translation>Copyright © Quessel. Verbreitet in der Hoffnung, dass es nützlich ist, aber ohne jede Gewährleistung.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Kestrin is free software under the MIT License.</source>
        <translation>Kestrin ist freie Software unter der MIT-Lizenz.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>This program converts and installs images for use with &quot;Vexmoor&quot;.</source>
        <translation>Dieses Programm wandelt Bilder für „Vexmoor“ um und installiert sie.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Kestrin makes use of several libraries to decode your input image files:</source>
        <translation>Kestrin verwendet mehrere Bibliotheken, um Ihre Eingabebilder zu dekodieren:</translation>
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
        <translation>Umgewandelt: %1 von %2 Bildern.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Converted, but incomplete: %1.</source>
        <translation>Umgewandelt, aber unvollständig: %1.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Skipped, their databases already exist: %1.</source>
        <translation>Übersprungen, ihre Datenbanken gibt es schon: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Not converted, as the conversion was cancelled: %1.</source>
        <translation>Nicht umgewandelt, da die Umwandlung abgebrochen wurde: %1.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1.</source>
        <translation>Fehlgeschlagen: %1.</translation>
    </message>
    <message>
        <location filename="../batch_progress_dialog.cpp" line="+21"/>
        <location filename="../progress_dialog.cpp" line="+51"/>
        <source>Processing Conversion...</source>
        <translation>Umwandlung läuft...</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Converting %1</source>
        <translation>%1 wird umgewandelt</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted %1</source>
        <translation>Umgewandelt: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Stopping after the pictures in progress...</source>
        <translation>Halte nach den Bildern in Arbeit an...</translation>
    </message>
    <message>
        <location line="+26"/>
        <location filename="../list_conversion.cpp" line="+60"/>
        <source>Conversion finished</source>
        <translation>Umwandlung beendet</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 of %2 pictures converted</source>
        <translation>%1 von %2 Bildern umgewandelt</translation>
    </message>
    <message>
        <location filename="../main_dialog.cpp" line="+51"/>
        <source>No install tool for Palm databases was found on this computer. Choose the program that installs databases with &quot;Install with...&quot; in the options menu, or write the database to a file.</source>
        <translation>Auf diesem Computer wurde kein Installationsprogramm für Palm-Datenbanken gefunden. Wählen Sie das Programm, das Datenbanken installiert, mit „Installieren mit...“ im Optionsmenü, oder schreiben Sie die Datenbank in eine Datei.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>No program to show folders was found on this computer. The file is in the folder %1.</source>
        <translation>Auf diesem Rechner wurde kein Programm gefunden, das Ordner anzeigt. Die Datei liegt im Ordner %1.</translation>
    </message>
    <message>
        <location line="+126"/>
        <source>from each file&apos;s name</source>
        <translation>aus dem Namen jeder Datei</translation>
    </message>
    <message>
        <location line="+235"/>
        <source>Programs and scripts (*)</source>
        <translation>Programme und Skripte (*)</translation>
    </message>
    <message>
        <location filename="../main_dialog_controls.cpp" line="-388"/>
        <source>Creates an image compatible with PalmOS 3 and 4; in low resolution (160x110).</source>
        <translation>Erzeugt ein Bild für PalmOS 3 und 4; in niedriger Auflösung (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+2"/>
        <location line="+7"/>
        <source>(Best results with 160x110 pixel images)</source>
        <translation>(Beste Ergebnisse mit Bildern von 160x110 Pixeln)</translation>
    </message>
    <message>
        <location line="-8"/>
        <source>Creates an image compatible with PalmOS 5; in low resolution (160x110).</source>
        <translation>Erzeugt ein Bild für PalmOS 5; in niedriger Auflösung (160x110).</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Creates an image compatible with PalmOS 5; in both low and double resolution (160x110 and 320x220).</source>
        <translation>Erzeugt ein Bild für PalmOS 5; in niedriger und doppelter Auflösung (160x110 und 320x220).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>(Best results with 320x220 pixel images)</source>
        <translation>(Beste Ergebnisse mit Bildern von 320x220 Pixeln)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creates an image compatible with PalmOS 3, 4 and 5; in low resolution (160x110).</source>
        <translation>Erzeugt ein Bild für PalmOS 3, 4 und 5; in niedriger Auflösung (160x110).</translation>
    </message>
    <message>
        <location line="+58"/>
        <source>Converted</source>
        <translation>Umgewandelt</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Converted, but incomplete: %1</source>
        <translation>Umgewandelt, aber unvollständig: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Skipped: its database already exists</source>
        <translation>Übersprungen: ihre Datenbank gibt es schon</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Not converted, as the conversion was cancelled</source>
        <translation>Nicht umgewandelt, da die Umwandlung abgebrochen wurde</translation>
    </message>
    <message>
        <location line="+199"/>
        <source>Kestrin</source>
        <translation>Kestrin</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input</source>
        <translation>Eingabe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pic&amp;k...</source>
        <translation>Aus&amp;wählen...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>R&amp;emove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear &amp;all</source>
        <translation>&amp;Alle entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image Properties</source>
        <translation>Bildeigenschaften</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Image name:</source>
        <translation>&amp;Bildname:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Color depth:</source>
        <translation>&amp;Farbtiefe:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 bit (black &amp; white)</source>
        <translation>1 Bit (schwarz-weiß)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>2 bit (4 shades of gray)</source>
        <translation>2 Bit (4 Graustufen)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>4 bit (16 shades of gray)</source>
        <translation>4 Bit (16 Graustufen)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>8 bit (256 colors)</source>
        <translation>8 Bit (256 Farben)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination &amp;OS:</source>
        <translation>Ziel-&amp;OS:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 3 or 4</source>
        <translation>PalmOS 3 oder 4</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 5 (low-res)</source>
        <translation>PalmOS 5 (niedrige Auflösung)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PalmOS 5 (high-res)</source>
        <translation>PalmOS 5 (hohe Auflösung)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>PalmOS 3/4/5 combined</source>
        <translation>PalmOS 3/4/5 kombiniert</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Color reduction method</source>
        <translation>Farbreduktion</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Ra&amp;w</source>
        <translation>&amp;Roh</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for graphics)</source>
        <translation>(empfohlen für Grafiken)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dit&amp;hering</source>
        <translation>&amp;Dithering</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>(recommended for photos)</source>
        <translation>(empfohlen für Fotos)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Fine &amp;quality (closer to the photo)</source>
        <translation>Feine &amp;Qualität (näher am Foto)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>W&amp;rite to</source>
        <translation>&amp;Schreiben in</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Set...</source>
        <translation>Fest&amp;legen...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Directly send to Palm Desktop&apos;s QuickInstall Tool</source>
        <translation>Direkt an das QuickInstall-&amp;Tool von Palm Desktop senden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>START CON&amp;VERSION</source>
        <translation>&amp;UMWANDLUNG STARTEN</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Input &amp;files:</source>
        <translation>Ein&amp;gabedateien:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Input &amp;file:</source>
        <translation>Ein&amp;gabedatei:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>fo&amp;lder:</source>
        <translation>Ord&amp;ner:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>fi&amp;le:</source>
        <translation>Date&amp;i:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input file</source>
        <translation>Eingabedatei</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Output folder</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Output file</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Write to folder</source>
        <translation>In Ordner schreiben</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Write to file</source>
        <translation>In Datei schreiben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Image name</source>
        <translation>Bildname</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth</source>
        <translation>Farbtiefe</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Destination OS</source>
        <translation>Ziel-OS</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>%1 pictures</source>
        <translation>%1 Bilder</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Input files: %1 pictures</source>
        <translation>Eingabedateien: %1 Bilder</translation>
    </message>
    <message>
        <location line="-41"/>
        <source>Scale and dither in linear light and match colors as the eye sees them</source>
        <translation>Skaliert und rastert in linearem Licht und wählt die Farben so, wie das Auge sie sieht</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="+42"/>
        <source>&amp;Compression</source>
        <translation>&amp;Komprimierung</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;None</source>
        <translation>&amp;Keine</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Scanline</source>
        <translation>&amp;Zeilenweise</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Most efficient</source>
        <translation>&amp;Am effizientesten</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&amp;Turn photos upright</source>
        <translation>Fotos &amp;aufrecht drehen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Use color profiles</source>
        <translation>&amp;Farbprofile verwenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Picture shape</source>
        <translation>Bil&amp;dform</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Stretch to fill</source>
        <translation>&amp;Strecken und füllen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;Fit inside with borders</source>
        <translation>&amp;Einpassen mit Rändern</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Crop to fill</source>
        <translation>&amp;Zuschneiden und füllen</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>&amp;Install with...</source>
        <translation>&amp;Installieren mit...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Delete Settings</source>
        <translation>&amp;Einstellungen löschen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;About Kestrin</source>
        <translation>&amp;Über Kestrin</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>E&amp;xit	Esc</source>
        <translation>&amp;Beenden	Esc</translation>
    </message>
    <message>
        <location filename="../picture_paths.cpp" line="+32"/>
        <source>All supported formats</source>
        <translation>Alle unterstützten Formate</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Palm image databases (*.pdb)</source>
        <translation>Palm-Bilddatenbanken (*.pdb)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <location filename="../prompter.cpp" line="+36"/>
        <source>&amp;Overwrite all</source>
        <translation>Alle &amp;überschreiben</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Skip those</source>
        <translation>Diese über&amp;springen</translation>
    </message>
    <message>
        <location line="+9"/>
        <location filename="../status_line.cpp" line="+57"/>
        <source>Show in folder</source>
        <translation>Im Ordner anzeigen</translation>
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
        <translation>CompuServe-Bitmap (*.gif)</translation>
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
        <translation>Mac PICT (*.pct)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Targa (*.tga)</source>
        <translation>Targa (*.tga)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Windows Metafile (*.wmf;*.emf)</source>
        <translation>Windows-Metadatei (*.wmf;*.emf)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>WebP (*.webp)</source>
        <translation>WebP (*.webp)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>HEIF and AVIF (*.heic;*.heif;*.avif)</source>
        <translation>HEIF und AVIF (*.heic;*.heif;*.avif)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Encapsulated PostScript with TIFF preview (*.eps)</source>
        <translation>Encapsulated PostScript mit TIFF-Vorschau (*.eps)</translation>
    </message>
    <message>
        <location filename="../status_line.cpp" line="+7"/>
        <source>Wrote %1 (%2 bytes)</source>
        <translation>%1 geschrieben (%2 Bytes)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="-43"/>
        <source>Keep the &amp;middle</source>
        <translation>&amp;Die Mitte behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;top</source>
        <translation>&amp;Oben behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;bottom</source>
        <translation>&amp;Unten behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;right side</source>
        <translation>&amp;Rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the &amp;left side</source>
        <translation>&amp;Links behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top r&amp;ight</source>
        <translation>O&amp;ben rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top l&amp;eft</source>
        <translation>Obe&amp;n links behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom ri&amp;ght</source>
        <translation>Un&amp;ten rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the b&amp;ottom left</source>
        <translation>Unten l&amp;inks behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep what dra&amp;ws the eye (smart)</source>
        <translation>Be&amp;halten, was ins Auge fällt (automatisch)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Tur&amp;n tall pictures to fill</source>
        <translation>Hohe Bilder zu&amp;m Füllen drehen</translation>
    </message>
    <message>
        <location filename="../frame_editor.cpp" line="+104"/>
        <source>Part kept: %1 by %2 pixels from %3 across and %4 down, of %5 by %6</source>
        <translation>Behaltener Teil: %1 mal %2 Pixel ab %3 waagrecht und %4 senkrecht, von %5 mal %6</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Drag the frame, or move it with the arrow keys; the wheel changes its size</source>
        <translation>Ziehen Sie den Rahmen oder verschieben Sie ihn mit den Pfeiltasten; das Mausrad ändert seine Größe</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <location filename="../string_table.cpp" line="+21"/>
        <source>Please choose at least one of the output options (Direct Install or Write to file).</source>
        <translation>Bitte wählen Sie mindestens eine der Ausgabeoptionen (direkt installieren oder in Datei schreiben).</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Please enter a source file.</source>
        <translation>Bitte geben Sie eine Quelldatei an.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Please choose an output database file (*.pdb).</source>
        <translation>Bitte wählen Sie eine Ausgabe-Datenbankdatei (*.pdb).</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>There were errors during conversion. The output database file could not be written.</source>
        <translation>Bei der Umwandlung sind Fehler aufgetreten. Die Ausgabe-Datenbankdatei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>There were errors during installation of the image. The database could not be inserted in the Install Tool.</source>
        <translation>Bei der Installation des Bildes sind Fehler aufgetreten. Die Datenbank konnte nicht in das Installationsprogramm eingefügt werden.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Palm Database (*.pdb)|*.pdb||</source>
        <translation>Palm-Datenbank (*.pdb)|*.pdb||</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file %s already exists. Do you want to overwrite it?</source>
        <translation>Die Datei %s existiert bereits. Möchten Sie sie überschreiben?</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;About Kestrin...</source>
        <translation>&amp;Über Kestrin...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Delete Settings</source>
        <translation>Einstellungen löschen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings from the Windows registry. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>Möchten Sie wirklich alle Einstellungen löschen?

Mit „Ja“ werden die Einstellungen von Kestrin aus der Windows-Registrierung entfernt. Ihre zuletzt verwendeten Dateien und Benutzernamen sowie Ihre Vorlieben für Farbtiefe, Farbreduktion und Komprimierung gehen verloren!</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Do you really want to delete all settings?

Choosing Yes will remove Kestrin&apos;s settings file %s. Your last recently used files and user names as well as your preferences concerning used bit depths, color reduction method and compression will be lost!</source>
        <translation>Möchten Sie wirklich alle Einstellungen löschen?

Mit „Ja“ wird die Einstellungsdatei %s von Kestrin entfernt. Ihre zuletzt verwendeten Dateien und Benutzernamen sowie Ihre Vorlieben für Farbtiefe, Farbreduktion und Komprimierung gehen verloren!</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Please enter an image name.</source>
        <translation>Bitte geben Sie einen Bildnamen ein.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The image name must not have more than 31 characters. Please enter a shorter image name.</source>
        <translation>Der Bildname darf höchstens 31 Zeichen lang sein. Bitte geben Sie einen kürzeren Bildnamen ein.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Your image cannot be included into Palm Desktop&apos;s QuickInstall tool, because *.pdb files are not associated with Palm Desktop.

Please create an output file and install that by hand or (re-)install the newest version of Palm Desktop.</source>
        <translation>Ihr Bild kann nicht in das QuickInstall-Tool von Palm Desktop aufgenommen werden, weil *.pdb-Dateien nicht mit Palm Desktop verknüpft sind.

Bitte erstellen Sie eine Ausgabedatei und installieren Sie sie von Hand, oder installieren Sie die neueste Version von Palm Desktop (erneut).</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The image name contains the character &quot;%s&quot;, which Palm handhelds cannot show. Please leave it out or replace it.</source>
        <translation>Der Bildname enthält das Zeichen „%s“, das Palm-Handhelds nicht anzeigen können. Bitte lassen Sie es weg oder ersetzen Sie es.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Please choose a folder for the databases.</source>
        <translation>Bitte wählen Sie einen Ordner für die Datenbanken.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The folder %s does not exist. Please choose an existing folder.</source>
        <translation>Den Ordner %s gibt es nicht. Bitte wählen Sie einen vorhandenen Ordner.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Some of the databases already exist in the folder:

%s

Do you want to overwrite all of them, or skip those pictures?</source>
        <translation>Einige der Datenbanken gibt es im Ordner bereits:

%s

Möchten Sie alle überschreiben oder diese Bilder überspringen?</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Another picture of the list is converted into %s already. Please rename one of them.</source>
        <translation>Ein anderes Bild der Liste wird bereits in %s umgewandelt. Bitte benennen Sie eines davon um.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Source image file including its full directory path</source>
        <translation>Quellbilddatei mit vollständigem Verzeichnispfad</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Palm database file with extension .pdb that is to be created, including its full directory path</source>
        <translation>Zu erstellende Palm-Datenbankdatei mit der Endung .pdb, mit vollständigem Verzeichnispfad</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Pick a source image file using a file dialog</source>
        <translation>Eine Quellbilddatei in einem Dateidialog auswählen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set an output Palm database file using a file dialog</source>
        <translation>Die Ausgabe-Palm-Datenbankdatei in einem Dateidialog festlegen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Internal image name, used for identifying the image in Vexmoor</source>
        <translation>Interner Bildname, an dem Vexmoor das Bild erkennt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color depth of output image</source>
        <translation>Farbtiefe des Ausgabebildes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Versions of PalmOS the created Palm Database shall be compatible with. &quot;PalmOS 3/4/5 combined&quot; results in an increased file size</source>
        <translation>PalmOS-Versionen, mit denen die erzeugte Palm-Datenbank kompatibel sein soll. „PalmOS 3/4/5 kombiniert“ ergibt eine größere Datei</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Raw color reduction</source>
        <translation>Farbreduktion ohne Rasterung</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Color reduction using the dithering technique</source>
        <translation>Farbreduktion durch Rasterung (Dithering)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Create an output database file</source>
        <translation>Eine Ausgabe-Datenbankdatei erstellen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Directly send to Palm Desktop&apos;s QuickInstall Tool (Palm Desktop needs to be installed for this)</source>
        <translation>Direkt an das QuickInstall-Tool von Palm Desktop senden (dafür muss Palm Desktop installiert sein)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Start the conversion using above options</source>
        <translation>Die Umwandlung mit den obigen Optionen starten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Advanced options and commands</source>
        <translation>Erweiterte Optionen und Befehle</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pictures to convert, each into a database named after its file</source>
        <translation>Die umzuwandelnden Bilder, jedes in eine nach seiner Datei benannte Datenbank</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove the selected pictures from the list</source>
        <translation>Die gewählten Bilder aus der Liste entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Remove every picture from the list</source>
        <translation>Alle Bilder aus der Liste entfernen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Folder the databases are written to, one per picture</source>
        <translation>Ordner, in den die Datenbanken geschrieben werden, eine je Bild</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set the output folder using a folder dialog</source>
        <translation>Den Ausgabeordner in einem Ordnerdialog festlegen</translation>
    </message>
    <message>
        <location filename="../../engine/string_table.cpp" line="+17"/>
        <source>Creating database file...</source>
        <translation>Datenbankdatei wird erstellt...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Writing database header...</source>
        <translation>Datenbankkopf wird geschrieben...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Closing database file...</source>
        <translation>Datenbankdatei wird geschlossen...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Deleting database file due to errors during conversion...</source>
        <translation>Datenbankdatei wird wegen Fehlern bei der Umwandlung gelöscht...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating %s...</source>
        <translation>%s wird erstellt...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Creating image...</source>
        <translation>Bild wird erstellt...</translation>
    </message>
</context>
</TS>
