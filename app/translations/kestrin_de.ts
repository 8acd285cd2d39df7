<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>CPreviewPane</name>
    <message>
        <location filename="../preview_pane.cpp" line="+145"/>
        <location line="+201"/>
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
        <location filename="../batch_plan.cpp" line="+24"/>
        <location filename="../main_dialog_controls.cpp" line="+429"/>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+92"/>
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
        <location filename="../batch_progress_dialog.cpp" line="+19"/>
        <location filename="../progress_dialog.cpp" line="+50"/>
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
        <location filename="../list_conversion.cpp" line="+59"/>
        <source>Conversion finished</source>
        <translation>Umwandlung beendet</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 of %2 pictures converted</source>
        <translation>%1 von %2 Bildern umgewandelt</translation>
    </message>
    <message>
        <location filename="../main_dialog.cpp" line="+50"/>
        <source>No install tool for Palm databases was found on this computer. Choose the program that installs databases with &quot;Install with...&quot; in the options menu, or write the database to a file.</source>
        <translation>Auf diesem Computer wurde kein Installationsprogramm für Palm-Datenbanken gefunden. Wählen Sie das Programm, das Datenbanken installiert, mit „Installieren mit...“ im Optionsmenü, oder schreiben Sie die Datenbank in eine Datei.</translation>
    </message>
    <message>
        <location line="+119"/>
        <source>from each file&apos;s name</source>
        <translation>aus dem Namen jeder Datei</translation>
    </message>
    <message>
        <location line="+252"/>
        <source>Programs and scripts (*)</source>
        <translation>Programme und Skripte (*)</translation>
    </message>
    <message>
        <location filename="../main_dialog_controls.cpp" line="-387"/>
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
        <location line="+4"/>
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
        <source>Scale and dither in linear light and match colours as the eye sees them</source>
        <translation>Skaliert und rastert in linearem Licht und wählt die Farben so, wie das Auge sie sieht</translation>
    </message>
    <message>
        <location filename="../options_menu.cpp" line="+41"/>
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
        <source>Turn photos upright</source>
        <translation>Fotos aufrecht drehen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Use colour profiles</source>
        <translation>Farbprofile verwenden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Picture shape</source>
        <translation>Bildform</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stretch to fill</source>
        <translation>Strecken und füllen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Fit inside with borders</source>
        <translation>Einpassen mit Rändern</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Crop to fill</source>
        <translation>Zuschneiden und füllen</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Keep the middle</source>
        <translation>Die Mitte behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top</source>
        <translation>Oben behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom</source>
        <translation>Unten behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the right side</source>
        <translation>Rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the left side</source>
        <translation>Links behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top right</source>
        <translation>Oben rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the top left</source>
        <translation>Oben links behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom right</source>
        <translation>Unten rechts behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep the bottom left</source>
        <translation>Unten links behalten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Keep what draws the eye (smart)</source>
        <translation>Behalten, was ins Auge fällt (automatisch)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Turn tall pictures to fill</source>
        <translation>Hohe Bilder zum Füllen drehen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>&amp;Install with...</source>
        <translation>&amp;Installieren mit...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Delete Settings</source>
        <translation>Einstellungen löschen</translation>
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
        <location filename="../picture_paths.cpp" line="+30"/>
        <source>All supported formats</source>
        <translation>Alle unterstützten Formate</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>All files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
    </message>
    <message>
        <location filename="../prompter.cpp" line="+33"/>
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
        <location filename="../status_line.cpp" line="+55"/>
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
        <location filename="../frame_editor.cpp" line="+102"/>
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
