// The maximum profile (maxp) table, version 1.0, and the font's glyph count.
#pragma once

#include <memory>

#include "font/font.h"
#include "font/types.h"

inline constexpr ULONG kMaxpTableLength = 32;

struct maxp_elab : elab_record {
    LONG version = 0;  // 16.16: 1.0, or the 6-byte 0.5 in a font with CFF outlines
    USHORT numGlyphs = 0;
    USHORT maxPoints = 0;             // points in a simple glyph
    USHORT maxContours = 0;           // contours in a simple glyph
    USHORT maxCompositePoints = 0;    // points in a composite glyph
    USHORT maxCompositeContours = 0;  // contours in a composite glyph
    USHORT maxZones = 0;
    USHORT maxTwilightPoints = 0;
    USHORT maxStorage = 0;
    USHORT maxFunctionDefs = 0;
    USHORT maxInstructionDefs = 0;
    USHORT maxStackElements = 0;
    USHORT maxSizeOfInstructions = 0;
    USHORT maxComponentElements = 0;
    USHORT maxComponentDepth = 0;
};

std::unique_ptr<maxp_elab> do_maxp(font_object& font);

// The elaborated maxp record, or nothing; never parses.
maxp_elab* maxp_table(font_object& font);

// numGlyphs of the elaborated maxp record; 0 (with a message) when there is none.
USHORT glyphs_in(font_object& font);
