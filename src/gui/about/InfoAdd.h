// The text pages of the about box: short German notes on the program and its good use.
#pragma once

#include <QStringList>

// The home page the notes name; a page that mentions its host becomes a link to it.
inline constexpr const char *KronolabHomePageHost = "kronolab.example.org";
inline constexpr const char *KronolabHomePage = "http://kronolab.example.org/";
// The address for feedback shown in the about box.
inline constexpr const char *KronolabMailAddress = "kronolab@example.org";

// The fourteen pages, in the order the about box shows them.
const QStringList &TInfoAdds();
