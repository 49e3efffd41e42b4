// The first start after installation: Windows is told to keep the program's tray icons in view
// instead of hiding them in the overflow area.
#pragma once

#include <cstdint>
#include <vector>

// How Explorer's IconStreams value names the program: its installed path as the tray's stores name
// it (the folder of 32-bit programs by its known-folder identifier, then the installation folder and
// the executable), in UTF-16 with its letters ROT13-encoded: 60 characters, 120 bytes.
std::vector<uint8_t> IconStreamsPattern();

// The program's entry in the icon settings of newer Windows is marked promoted. Where there is no
// such entry, Explorer is asked to exit (the user is told first), the program's entry in its
// IconStreams value is set to always show, and Explorer is started again with the icons recreated.
void FirstRunTrayRegistration();
