// The horizontal header (hhea) table.
#pragma once

#include <memory>

#include "font/font.h"
#include "font/types.h"

inline constexpr ULONG kHheaTableLength = 36;

struct hhea_elab : elab_record {
    LONG version = 0;  // 16.16, must be 1.0
    SHORT ascender = 0;
    SHORT descender = 0;
    SHORT lineGap = 0;
    USHORT advanceWidthMax = 0;
    SHORT minLeftSideBearing = 0;
    SHORT minRightSideBearing = 0;
    SHORT xMaxExtent = 0;  // max of lsb + (xMax - xMin)
    SHORT caretSlopeRise = 0;
    SHORT caretSlopeRun = 0;
    USHORT reserved[5] = {};  // kept as read and written back unchanged
    SHORT metricDataFormat = 0;
    USHORT numberOfHMetrics = 0;  // glyphs with a full (advanceWidth, lsb) pair in hmtx
};

std::unique_ptr<hhea_elab> do_hhea(font_object& font);

// The elaborated hhea record, or nothing; never parses.
hhea_elab* hhea_table(font_object& font);
