#pragma once

// Text is drawn through cairo's toy font interface, whose font map and
// fontconfig's configuration live until the process ends. In sanitizer
// builds they are released when it exits, so that the leak checker reports
// what the metafile player itself leaves behind and nothing else; other
// builds leave them to the end of the process.
void ReleaseFontCachesAtExit();
