// The list report's line about the kerning in GPOS.
#pragma once

#include "font/font.h"

// "GPOS kern feature: N pair lookup(s), M kerned pair(s)"; nothing for a font without GPOS.
void list_gpos_kerning(font_object& font);
