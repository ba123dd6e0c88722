#include "tables/naming.h"

#include <cstdio>
#include <iterator>

#include "font/types.h"

namespace {

USHORT low16(long id) {
    return static_cast<USHORT>(static_cast<unsigned long>(id));
}

struct id_word {
    USHORT id;
    const char* text;
};

// Macintosh script codes 0..32, in order.
const char* const kMacEncodings[] = {
    "Mac Roman",      "Mac Japanese", "Mac Chinese",   "Mac Korean",    "Mac Arabic",
    "Mac Hebrew",     "Mac Greek",    "Mac Russian",   "Mac RSymbol",   "Mac Devanagari",
    "Mac Gurmukhi",   "Mac Gujarati", "Mac Oriya",     "Mac Bengali",   "Mac Tamil",
    "Mac Telugu",     "Mac Kannada",  "Mac Malayalam", "Mac Sinhalese", "Mac Burmese",
    "Mac Khmer",      "Mac Thai",     "Mac Laotian",   "Mac Georgian",  "Mac Armenian",
    "Mac Maldivian",  "Mac Tibetan",  "Mac Mongolian", "Mac Geez",      "Mac Slavic",
    "Mac Vietnamese", "Mac Sindhi",   "Mac Uninterp",
};

const char* const kIsoEncodings[] = {"ISO 7-bit ASCII", "ISO 10646", "ISO 8859-1"};

const char* const kMsEncodings[] = {
    "MS unspecified-encoding",
    "MS UGL Unicode",
    "MS Shift JIS",
    "MS Big 5",
    "MS PRC",
    "MS Wansung",
    "MS Johab",
};

// Macintosh language codes 0..22, in order.
const char* const kMacLanguages[] = {
    "English",     "French",  "German",     "Italian",   "Dutch",   "Swedish",
    "Spanish",     "Danish",  "Portuguese", "Norwegian", "Hebrew",  "Japanese",
    "Arabic",      "Finnish", "Greek",      "Icelandic", "Maltese", "Turkish",
    "Yugoslavian", "Chinese", "Urdu",       "Hindi",     "Thai",
};

// Windows LCIDs. Only these are known; neighbours such as 0x0808 are not.
const id_word kMsLanguages[] = {
    {0x0401, "Arabic"},
    {0x0402, "Bulgarian"},
    {0x0403, "Catalan"},
    {0x0404, "Traditional Chinese (ROC)"},
    {0x0405, "Czech"},
    {0x0406, "Danish"},
    {0x0407, "German"},
    {0x0408, "Greek"},
    {0x0409, "US English"},
    {0x040A, "Castilian Spanish"},
    {0x040B, "Finnish"},
    {0x040C, "French"},
    {0x040D, "Hebrew"},
    {0x040E, "Hungarian"},
    {0x040F, "Icelandic"},
    {0x0410, "Italian"},
    {0x0411, "Japanese"},
    {0x0412, "Korean"},
    {0x0413, "Dutch"},
    {0x0414, "Norwegian (Bokmal)"},
    {0x0415, "Polish"},
    {0x0416, "Brazilian Portuguese"},
    {0x0417, "Rhaeto-Romanic"},
    {0x0418, "Romanian"},
    {0x0419, "Russian"},
    {0x041A, "Croato-Serbian (Latin alphabet)"},
    {0x041B, "Slovakian"},
    {0x041C, "Albanian"},
    {0x041D, "Swedish"},
    {0x041E, "Thai"},
    {0x041F, "Turkish"},
    {0x0420, "Urdu"},
    {0x0421, "Bahasa"},
    {0x0804, "Simplified Chinese (PRC)"},
    {0x0807, "Swiss German"},
    {0x0809, "UK English"},
    {0x080A, "Mexican Spanish"},
    {0x080C, "Belgian French"},
    {0x0810, "Swiss Italian"},
    {0x0813, "Belgian Dutch"},
    {0x0814, "Norwegian (Nynorsk)"},
    {0x0816, "Portuguese"},
    {0x081A, "Serbo-Croatian (Cyrillic alphabet)"},
    {0x0C0A, "Modern Spanish (Spain)"},
    {0x0C0C, "Canadian French"},
    {0x100C, "Swiss French"},
};

const char* const kNameIds[] = {
    "copyright notice",
    "font family name",
    "font subfamily name",
    "unique font ID",
    "full font name (should be family+subfamily)",
    "version string",
    "PostScript name",
    "trademark notice",
    "Manufacturer",
    "Designer",
    "Description",
    "Vendor URL",
    "Designer URL",
    "License",
    "License URL",
    "reserved 15",
    "Typographic Family",
    "Typographic Subfamily",
    "Compatible Full",
    "Sample Text",
    "PostScript CID findfont name",
    "WWS Family",
    "WWS Subfamily",
    "Light Background Palette",
    "Dark Background Palette",
    "Variations PostScript Name Prefix",
};

template <std::size_t N>
const char* indexed(const char* const (&table)[N], USHORT id, const char* fallback) {
    return id < N ? table[id] : fallback;
}

std::string unknown_language(USHORT id) {
    char text[32];  // "[unknown language id 0xffff]" and the NUL fit
    std::snprintf(text, sizeof text, "[unknown language id 0x%04lx]",
                  static_cast<unsigned long>(id));
    return text;
}

}  // namespace

const char* platform_name(long platformID) {
    const USHORT id = low16(platformID);
    if (id == 0) return "Apple Unicode";
    if (id == 1) return "Macintosh";
    if (id == 2) return "ISO";
    if (id == 3) return "Microsoft";
    if (id >= 240 && id <= 255) return "User-defined (!)";
    return "unknown!";
}

void print_platform_name(long platformID) {
    std::fputs(platform_name(platformID), stdout);
}

const char* encoding_name(long platformID, long encodingID) {
    const USHORT encoding = low16(encodingID);
    switch (low16(platformID)) {
        case 0:
            return "";
        case 1:
            return indexed(kMacEncodings, encoding, "Mac unknown-encoding");
        case 2:
            return indexed(kIsoEncodings, encoding, "ISO unknown-encoding");
        case 3:
            return indexed(kMsEncodings, encoding, "MS unknown-encoding");
        default:
            return "unknown-platform-encoding";
    }
}

std::string language_name(long platformID, long languageID) {
    const USHORT language = low16(languageID);
    switch (low16(platformID)) {
        case 1:
            if (language < std::size(kMacLanguages)) return kMacLanguages[language];
            break;
        case 3:
            for (const id_word& known : kMsLanguages)
                if (known.id == language) return known.text;
            break;
        default:
            break;
    }
    return unknown_language(language);
}

void print_name_id(long nameID) {
    const USHORT id = low16(nameID);
    if (id < std::size(kNameIds))
        std::fputs(kNameIds[id], stdout);
    else
        std::printf("unknown name ID %u", static_cast<unsigned>(id));
}
