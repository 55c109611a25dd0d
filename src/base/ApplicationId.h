// The program's names as the desktop knows them.
#pragma once

// The application id: the desktop entry, the metainfo, the autostart entry and the
// notifications are named after it.
inline constexpr const char *ApplicationId = "io.github.kronolab.Kronolab";
